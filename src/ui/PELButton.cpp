#include "ui/PELButton.h"

#include "platform/Fonts.h"
#include "ui/Colors.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

enum StateIndex { kNormalIndex, kSelectedIndex, kDisabledIndex, kMarkedIndex };

constexpr int kMaxLines = 10;
constexpr int kNormalFrame = 1;
constexpr int kMarkedFrame = 5;
constexpr int kNormalWeight = 400;

} // namespace

QStringList SplitCaption(const QString& caption) {
    QStringList lines;
    QString line;
    for (const QChar c : caption) {
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) {
            line.append(c);
            continue;
        }
        lines.append(line);
        line.clear();
        if (lines.size() == kMaxLines)
            return lines; // the rest of the caption is not shown
    }
    lines.append(line);
    return lines;
}

CPELButton::CPELButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    colors_[kNormalIndex] = {0xC0C0C0, 0x000000, 0x000000};
    colors_[kSelectedIndex] = {0x966400, 0x00FFFF, 0x000000};
    colors_[kDisabledIndex] = {0xC8D0D4, 0x000000, 0x000000};
    colors_[kMarkedIndex] = {0x000000, 0x0000FF, 0x000000};
    fonts_.fill(platform::StockFont());
}

void CPELButton::SetScheme(std::uint32_t normalBack, std::uint32_t normalText, std::uint32_t selectedBack,
                           std::uint32_t selectedText, int normalWeight, int selectedWeight, std::uint32_t format) {
    colors_[kNormalIndex].back = normalBack;
    colors_[kNormalIndex].text = normalText;
    colors_[kSelectedIndex].back = selectedBack;
    colors_[kSelectedIndex].text = selectedText;
    format_ = format;
    fonts_[kNormalIndex] = platform::DerivedFont(normalWeight);
    fonts_[kSelectedIndex] = platform::DerivedFont(selectedWeight);
    fonts_[kDisabledIndex] = platform::DerivedFont(kNormalWeight);
    fonts_[kMarkedIndex] = platform::DerivedFont(kNormalWeight);
}

void CPELButton::SetNormalColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame) {
    colors_[kNormalIndex] = {back, text, frame};
}

void CPELButton::SetSelectedColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame) {
    colors_[kSelectedIndex] = {back, text, frame};
}

void CPELButton::SetDisabledColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame) {
    colors_[kDisabledIndex] = {back, text, frame};
}

void CPELButton::SetMarkedColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame) {
    colors_[kMarkedIndex] = {back, text, frame};
}

void CPELButton::SetNormalFont(int height, int weight) {
    fonts_[kNormalIndex] = platform::DerivedFont(weight, height);
}

void CPELButton::SetSelectedFont(int height, int weight) {
    fonts_[kSelectedIndex] = platform::DerivedFont(weight, height);
}

void CPELButton::SetDisabledFont(int height, int weight) {
    fonts_[kDisabledIndex] = platform::DerivedFont(weight, height);
}

void CPELButton::SetMarkedFont(int height, int weight) {
    fonts_[kMarkedIndex] = platform::DerivedFont(weight, height);
}

void CPELButton::SetState(int state) {
    if (state == state_)
        return;
    state_ = state;
    repaint();
}

void CPELButton::SetStateText(int state, const QString& text) {
    if (state == state_ && text == caption_)
        return;
    state_ = state;
    caption_ = text;
    repaint();
}

int CPELButton::StateIndex() const {
    switch (state_) {
    case button_state::kSelected:
        return kSelectedIndex;
    case button_state::kDisabled:
        return kDisabledIndex;
    case button_state::kMarked:
        return kMarkedIndex;
    default:
        return kNormalIndex;
    }
}

void CPELButton::DrawItem(QPainter& painter, const QRect& rect) const {
    const auto index = static_cast<std::size_t>(StateIndex());
    const ButtonColors& colors = colors_[index];
    const QFont& font = fonts_[index];
    const QColor back = ColorFromRef(colors.back);

    painter.fillRect(rect, ColorFromRef(colors.frame));
    QRect area = rect;
    if (flat_ == 0) {
        const int frame = state_ == button_state::kMarked ? kMarkedFrame : kNormalFrame;
        area.adjust(frame, frame, -frame, -frame);
    }
    painter.fillRect(area, back);
    painter.setFont(font);
    painter.setPen(ColorFromRef(colors.text));
    const QFontMetrics metrics(font);

    if ((format_ & button_format::kVerticalCenter) == 0) {
        int flags = 0;
        flags |= (format_ & button_format::kCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
        flags |= (format_ & button_format::kWordBreak) ? Qt::TextWordWrap : 0;
        flags |= (format_ & button_format::kSingleLine) ? Qt::TextSingleLine : 0;
        painter.drawText(area, flags | Qt::AlignTop, caption_);
        return;
    }

    // Vertically centred lines; empty lines give spacing when word breaking is on.
    const QStringList lines = SplitCaption(caption_);
    const bool keepEmpty = (format_ & button_format::kWordBreak) != 0;
    int total = 0;
    for (const QString& line : lines) {
        if (!line.isEmpty() || keepEmpty)
            total += metrics.height();
    }
    int y = area.top() + (area.height() - total) / 2;
    for (const QString& line : lines) {
        if (line.isEmpty() && !keepEmpty)
            continue;
        const int width = metrics.horizontalAdvance(line);
        const int x = (format_ & button_format::kCenter) ? (area.width() - width) / 2 : area.left();
        const QRect textRect(x, y, width, metrics.height());
        painter.fillRect(textRect, back);
        painter.drawText(QPoint(x, y + metrics.ascent()), line);
        y += metrics.height();
    }
}

void CPELButton::paintEvent(QPaintEvent*) {
    ++paintCount_;
    QPainter painter(this);
    DrawItem(painter, rect());
}
