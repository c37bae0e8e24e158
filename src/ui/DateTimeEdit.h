#pragma once

// The clock editor: a one-line field «DD.MM.YYYY hh:mm:ss» in which one field at a time
// is selected and stepped with the keypad. Key 6 selects the next field, 4 the previous
// one; 1 steps the selected field up, 7 down, wrapping round within the calendar. Nothing
// is ever typed into the text. A small arrow pair sits at its right edge.

#include "document/RealTimeClock.h"

#include <QDateTime>
#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>

namespace date_time_edit {

enum Field { kDay, kMonth, kYear, kHour, kMinute, kSecond };
inline constexpr int kFields = 6;
// Only the years the clock chip holds are offered.
inline constexpr int kFirstYear = kClockChipFirstYear;
inline constexpr int kLastYear = kClockChipLastYear;
inline constexpr int kSpinWidth = 20;

// Days in a month of the years the editor offers (every fourth year a leap year).
int MonthLength(int month, int year);

// `time` with one field moved by one (delta +1 or -1), wrapping round within the field's
// range; a day past the new month's end becomes its last day. The other fields stay.
QDateTime StepField(const QDateTime& time, int field, int delta);

// `time`, or the nearest time within the years offered.
QDateTime WithinYears(const QDateTime& time);

// "DD.MM.YYYY hh:mm:ss".
QString FormatTime(const QDateTime& time);

// The characters of a field in that text: [start, end).
struct FieldRange {
    int start;
    int end;
};
FieldRange FieldSelection(int field);

} // namespace date_time_edit

// The arrow pair beside the clock editor; it only shows that the field steps up and down.
class CUpDown : public QWidget {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CDateTimeEdit : public QLineEdit {
    Q_OBJECT
public:
    // The time starts as the current local time, whole seconds.
    explicit CDateTimeEdit(QWidget* parent = nullptr);
    ~CDateTimeEdit() override;

    // The field over `rect` of `parent` and, in the same parent, its arrow pair with
    // id + 1. The owner sets the text it shows first.
    bool Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id);
    // Puts the field on `rect` and the arrows on the strip at its right edge, raises them,
    // takes the focus, selects the current field and blanks the soft keys.
    void LayoutAndShow(const QRect& rect);

    QDateTime GetTime() const { return time_; }
    // Takes `time` (whole seconds, brought within the years offered) and shows it.
    void SetTime(const QDateTime& time);
    int GetField() const { return field_; }

    int GetDlgCtrlID() const { return controlId_; }
    std::uint32_t GetStyle() const { return style_; }
    CUpDown* GetSpin() const { return spin_.data(); }

    // A character after its key-down has been passed on to the parent view; public so
    // that the program and tests can drive the editor without a keyboard.
    void OnChar(int code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void SelectField();
    void ShowTime();

    QDateTime time_;
    int field_ = date_time_edit::kDay;
    QPointer<CUpDown> spin_; // a child of the parent, beside the field
    std::uint32_t style_ = 0;
    int controlId_ = 0;
};
