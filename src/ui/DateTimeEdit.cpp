#include "ui/DateTimeEdit.h"

#include "platform/Clock.h"
#include "platform/Fonts.h"
#include "platform/Keys.h"
#include "ui/ValueEditorSupport.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <array>

namespace {

constexpr int kNextFieldKey = '6';
constexpr int kPreviousFieldKey = '4';
constexpr int kStepUpKey = '1';
constexpr int kStepDownKey = '7';

constexpr std::array<date_time_edit::FieldRange, date_time_edit::kFields> kFieldRanges{{
    {0, 2},   // day
    {3, 5},   // month
    {6, 10},  // year
    {11, 13}, // hour
    {14, 16}, // minute
    {17, 19}, // second
}};

// Below `low` comes `high`, above `high` comes `low`.
int Wrapped(int value, int low, int high) {
    if (value < low)
        return high;
    if (value > high)
        return low;
    return value;
}

// Whole seconds of a time the editor can offer: a host clock from before the chip's
// century (a board that has lost its time) starts the editor at the century's start.
QDateTime WholeSeconds(const QDateTime& time) {
    QDateTime whole = time;
    whole.setTime(QTime(time.time().hour(), time.time().minute(), time.time().second()));
    return date_time_edit::WithinYears(whole);
}

} // namespace

namespace date_time_edit {

int MonthLength(int month, int year) {
    if (month == 2)
        return year % 4 == 0 ? 29 : 28;
    const bool longMonth = month <= 7 ? month % 2 == 1 : month % 2 == 0;
    return longMonth ? 31 : 30;
}

QDateTime StepField(const QDateTime& time, int field, int delta) {
    int year = time.date().year();
    int month = time.date().month();
    int day = time.date().day();
    int hour = time.time().hour();
    int minute = time.time().minute();
    int second = time.time().second();
    switch (field) {
    case kDay:
        day = Wrapped(day + delta, 1, MonthLength(month, year));
        break;
    case kMonth:
        month = Wrapped(month + delta, 1, 12);
        day = std::min(day, MonthLength(month, year));
        break;
    case kYear:
        year = Wrapped(year + delta, kFirstYear, kLastYear);
        day = std::min(day, MonthLength(month, year));
        break;
    case kHour:
        hour = Wrapped(hour + delta, 0, 23);
        break;
    case kMinute:
        minute = Wrapped(minute + delta, 0, 59);
        break;
    case kSecond:
        second = Wrapped(second + delta, 0, 59);
        break;
    default:
        break;
    }
    // A local time: the system decides about daylight saving.
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

QDateTime WithinYears(const QDateTime& time) {
    const QDateTime first(QDate(kFirstYear, 1, 1), QTime(0, 0, 0));
    const QDateTime last(QDate(kLastYear, 12, 31), QTime(23, 59, 59));
    return std::clamp(time, first, last);
}

QString FormatTime(const QDateTime& time) {
    const QDate date = time.date();
    const QTime clock = time.time();
    return QString::asprintf("%.2d.%.2d.%.4d %.2d:%.2d:%.2d", date.day(), date.month(), date.year(), clock.hour(),
                             clock.minute(), clock.second());
}

FieldRange FieldSelection(int field) {
    return kFieldRanges[static_cast<std::size_t>(std::clamp(field, 0, kFields - 1))];
}

} // namespace date_time_edit

// --- arrow pair -------------------------------------------------------------

CUpDown::CUpDown(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void CUpDown::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int half = height() / 2;
    const std::array<std::pair<QRect, QStyle::PrimitiveElement>, 2> buttons{{
        {QRect(0, 0, width(), half), QStyle::PE_IndicatorArrowUp},
        {QRect(0, half, width(), height() - half), QStyle::PE_IndicatorArrowDown},
    }};
    for (const auto& [rect, arrow] : buttons) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = rect;
        button.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);
        QStyleOption arrowOption;
        arrowOption.initFrom(this);
        arrowOption.rect = rect.adjusted(2, 1, -2, -1);
        style()->drawPrimitive(arrow, &arrowOption, &painter, this);
    }
}

// --- editor -----------------------------------------------------------------

CDateTimeEdit::CDateTimeEdit(QWidget* parent) : QLineEdit(parent), time_(WholeSeconds(platform::LocalNow())) {
    setFont(platform::StockFont());
    setFrame(true);
    // Only the keypad changes the text: no typing, pasting, dropping or input methods.
    setReadOnly(true);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

CDateTimeEdit::~CDateTimeEdit() {
    // The arrows are the parent's child; the parent may already have deleted them.
    delete spin_.data();
}

bool CDateTimeEdit::Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
    style_ = style;
    controlId_ = id;
    setParent(parent);
    setObjectName(QString::number(id));
    setGeometry(rect);
    show();

    delete spin_.data();
    auto* spin = new CUpDown(parent);
    spin->setObjectName(QString::number(id + 1));
    spin->setGeometry(rect);
    spin->show();
    spin_ = spin;

    time_ = WholeSeconds(platform::LocalNow());
    return true;
}

void CDateTimeEdit::LayoutAndShow(const QRect& rect) {
    setGeometry(rect);
    raise();
    if (spin_ != nullptr) {
        spin_->setGeometry(QRect(rect.x() + rect.width() - date_time_edit::kSpinWidth, rect.y(),
                                 date_time_edit::kSpinWidth, rect.height()));
        spin_->raise();
    }
    setFocus();
    SelectField();
    value_editor::BlankMainFrameSoftKeys();
}

void CDateTimeEdit::SetTime(const QDateTime& time) {
    time_ = WholeSeconds(time);
    ShowTime();
}

void CDateTimeEdit::ShowTime() {
    setText(date_time_edit::FormatTime(time_));
    SelectField();
}

void CDateTimeEdit::SelectField() {
    const date_time_edit::FieldRange range = date_time_edit::FieldSelection(field_);
    // The caret ends at the field's end, which scrolls the field into view.
    setSelection(range.start, range.end - range.start);
}

// --- keys -------------------------------------------------------------------

void CDateTimeEdit::keyPressEvent(QKeyEvent* event) {
    // The edit control's own key handling is never used: no caret movement, no typing.
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event)) {
        value_editor::PostToParentView(*this, *message);
        // The keypad driver's message translation: a digit also arrives as a character.
        if (vk::IsDigit(message->code))
            OnChar(message->code);
    }
}

void CDateTimeEdit::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event))
        value_editor::PostToParentView(*this, *message);
}

void CDateTimeEdit::OnChar(int code) {
    switch (code) {
    case kNextFieldKey:
        field_ = (field_ + 1) % date_time_edit::kFields;
        SelectField();
        break;
    case kPreviousFieldKey:
        field_ = (field_ + date_time_edit::kFields - 1) % date_time_edit::kFields;
        SelectField();
        break;
    case kStepUpKey:
        time_ = date_time_edit::StepField(time_, field_, +1);
        ShowTime();
        break;
    case kStepDownKey:
        time_ = date_time_edit::StepField(time_, field_, -1);
        update();
        ShowTime();
        break;
    default:
        break; // swallowed: nothing is typed into the field
    }
}
