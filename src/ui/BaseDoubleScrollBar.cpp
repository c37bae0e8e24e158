#include "ui/BaseDoubleScrollBar.h"

#include "document/PELParam.h"
#include "platform/Fonts.h"
#include "ui/ValueEditorSupport.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <cmath>

namespace {

constexpr int kStepUpKey = '1';
constexpr int kStepUpKeyToo = '6';
constexpr int kStepDownKey = '4';
constexpr int kStepDownKeyToo = '7';

// The slider only shows roughly where the value lies; this many positions are plenty.
constexpr int kSliderPositions = 1000;

} // namespace

namespace double_stepper {

double Increment(double step, unsigned repeatCounter) {
    return step * (1 + (repeatCounter / kRepeatLimit) * 10);
}

double Clamped(double value, double minimum, double maximum) {
    if (value <= minimum)
        return minimum;
    if (value >= maximum)
        return maximum;
    return value;
}

Layout LayoutFor(std::uint32_t style, const QRect& rect) {
    // QRect's right() is the last pixel column; x + width is the exclusive right edge.
    if ((style & kVerticalStyle) != 0) {
        const QRect strip(rect.x() + rect.width() - kArrowExtent, rect.top(), kArrowExtent, rect.height());
        return {strip, QRect(rect.left(), rect.top(), rect.width() - kArrowExtent, rect.height())};
    }
    return {rect, QRect(rect.left() + kArrowExtent, rect.top(), rect.width() - 2 * kArrowExtent, rect.height())};
}

} // namespace double_stepper

CBaseDoubleScrollBar::CBaseDoubleScrollBar(QWidget* parent) : QScrollBar(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setRange(0, kSliderPositions);
}

CBaseDoubleScrollBar::~CBaseDoubleScrollBar() {
    // The box is the parent's child; the parent may already have deleted it.
    delete valueBox_.data();
}

bool CBaseDoubleScrollBar::Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
    style_ = style;
    controlId_ = id;
    setParent(parent);
    setObjectName(QString::number(id));
    setOrientation((style & double_stepper::kVerticalStyle) != 0 ? Qt::Vertical : Qt::Horizontal);
    const double_stepper::Layout layout = double_stepper::LayoutFor(style, rect);
    setGeometry(layout.scrollBar);
    show();

    delete valueBox_.data();
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::number(id + 1));
    box->setFont(platform::StockFont());
    box->setAlignment(Qt::AlignCenter);
    box->setReadOnly(true);
    box->setEnabled(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setGeometry(layout.valueBox);
    box->show();
    valueBox_ = box;
    return true;
}

void CBaseDoubleScrollBar::Init(double minimum, double maximum, double value, double step) {
    minimum_ = minimum;
    maximum_ = maximum;
    value_ = value;
    step_ = step;
    ShowValue();
}

void CBaseDoubleScrollBar::LayoutAndShow(const QRect& rect) {
    const QRect moved = rect.translated(double_stepper::kLayoutOffset, double_stepper::kLayoutOffset);
    const double_stepper::Layout layout = double_stepper::LayoutFor(style_, moved);
    setGeometry(layout.scrollBar);
    raise();
    if (valueBox_ != nullptr) {
        valueBox_->setGeometry(layout.valueBox);
        valueBox_->raise(); // over the scroll bar's middle in the horizontal layout
    }
    setFocus();
    value_editor::BlankMainFrameSoftKeys();
}

QString CBaseDoubleScrollBar::GetText() const {
    return valueBox_ != nullptr ? valueBox_->text() : QString();
}

void CBaseDoubleScrollBar::ShowValue() {
    if (valueBox_ != nullptr)
        valueBox_->setText(FormatVelocity(value_));
    if (maximum_ > minimum_)
        setValue(static_cast<int>(std::lround((value_ - minimum_) / (maximum_ - minimum_) * kSliderPositions)));
}

// --- keys -------------------------------------------------------------------

void CBaseDoubleScrollBar::keyPressEvent(QKeyEvent* event) {
    // The scroll bar's own key handling has nothing for keypad keys, and an ignored key
    // would travel on to the parent a second time.
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event)) {
        value_editor::PostToParentView(*this, *message);
        OnKeyDown(message->code);
    }
}

void CBaseDoubleScrollBar::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event)) {
        value_editor::PostToParentView(*this, *message);
        OnKeyUp(message->code);
    }
}

void CBaseDoubleScrollBar::OnKeyDown(int code) {
    // Every key-down counts, auto-repeat included: holding a key speeds the stepping up.
    if (repeatCounter_ < double_stepper::kRepeatLimit)
        ++repeatCounter_;
    const double increment = double_stepper::Increment(step_, repeatCounter_);
    if (code == kStepUpKey || code == kStepUpKeyToo)
        value_ = double_stepper::Clamped(value_ + increment, minimum_, maximum_);
    else if (code == kStepDownKey || code == kStepDownKeyToo)
        value_ = double_stepper::Clamped(value_ - increment, minimum_, maximum_);
    // Any other key leaves the value as it is, and the box keeps showing it: the owner
    // takes the box's text as the result when it ends the edit.
    ShowValue();
}

void CBaseDoubleScrollBar::OnKeyUp(int) {
    repeatCounter_ = 0;
}
