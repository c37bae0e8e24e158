#include "ui/BtnsView.h"

#include "platform/Keys.h"

namespace {

constexpr std::uint32_t kPanelBack = 0xC8D0D4;
constexpr std::uint32_t kPanelText = 0x000000;
constexpr std::uint32_t kPanelSelectedBack = 0x808000;
constexpr std::uint32_t kPanelSelectedText = 0xFFFF00;
constexpr std::uint32_t kModeKeyFrame = 0x000000;
constexpr int kBold = 700;

// Rectangles as (left, top, right, bottom), right and bottom exclusive.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

void UseModeKeyColors(CPELButton& key) {
    key.SetSelectedColors(kPanelSelectedBack, kPanelSelectedText, kModeKeyFrame);
}

CBtnsPanel::CBtnsPanel(int firstKeyCode, QWidget* parent) : CFormView(parent), firstKeyCode_(firstKeyCode) {
    setFocusPolicy(Qt::NoFocus);
}

void CBtnsPanel::CreateButton(int index, const QRect& rect) {
    auto* button = new CPELButton(this);
    button->setGeometry(rect);
    button->SetScheme(kPanelBack, kPanelText, kPanelSelectedBack, kPanelSelectedText, kBold, kBold,
                      button_format::kDefault);
    button->SetFlat(false);
    buttons_[static_cast<std::size_t>(index)] = button;
}

CPELButton* CBtnsPanel::ButtonForKey(int code) const {
    const int index = code - firstKeyCode_;
    return index >= 0 && index < kKeys ? GetButton(index) : nullptr;
}

int CBtnsPanel::IndexOf(const CPELButton* button) const {
    for (int i = 0; i < kKeys; ++i) {
        if (GetButton(i) == button)
            return i;
    }
    return -1;
}

CBtnsHView::CBtnsHView(QWidget* parent) : CBtnsPanel(vk::kF1, parent) {
    for (int i = 0; i < kKeys - 1; ++i)
        CreateButton(i, Box(128 * i, 0, 128 * i + 128, 39));
    CreateButton(kKeys - 1, Box(512, 0, 636, 39));
}

CBtnsVView::CBtnsVView(QWidget* parent) : CBtnsPanel(vk::kF6, parent) {
    for (int i = 0; i < kKeys - 1; ++i)
        CreateButton(i, Box(0, 83 * i, 125, 83 * i + 83));
    CreateButton(kKeys - 1, Box(0, 332, 125, 416));
}

void ShowSoftKeyPressed(CPELButton& key, int code) {
    if (code <= vk::kF5) {
        if (key.GetState() != button_state::kDisabled)
            key.SetState(button_state::kSelected);
    } else if (key.GetState() == button_state::kNormal) {
        key.SetState(button_state::kSelected);
    } else if (key.GetState() == button_state::kSelected) {
        key.SetState(button_state::kNormal);
    }
}
