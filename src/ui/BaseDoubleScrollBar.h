#pragma once

// A stepper for a double value (КУ or V/2): a scroll bar with a read-only value box over
// its middle. Keys 1 and 6 step the value up, 4 and 7 down; while a key is held the
// steps grow elevenfold from the tenth key-down on.

#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QString>

#include <cstdint>

class QLineEdit;

namespace double_stepper {

inline constexpr std::uint32_t kVerticalStyle = 1;
inline constexpr int kArrowExtent = 18; // the scroll bar's arrow area, and the vertical strip
inline constexpr int kLayoutOffset = 2; // the editor sits this far right of and below its rectangle
inline constexpr unsigned kRepeatLimit = 10;

// The increment of a key-down once the repeat counter has been counted up for it:
// the step itself until the counter reaches the limit, then eleven steps.
double Increment(double step, unsigned repeatCounter);

// The value after a change, kept inside [minimum, maximum].
double Clamped(double value, double minimum, double maximum);

// The value box between the arrows (horizontal) or the whole rectangle but the strip
// at its right edge (vertical), and the scroll bar's own place, for a rectangle that is
// already offset.
struct Layout {
    QRect scrollBar;
    QRect valueBox;
};
Layout LayoutFor(std::uint32_t style, const QRect& rect);

} // namespace double_stepper

class CBaseDoubleScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CBaseDoubleScrollBar(QWidget* parent = nullptr);
    ~CBaseDoubleScrollBar() override;

    // The scroll bar over `rect` of `parent` and, beside it in the same parent, the value
    // box with id + 1. Style 1 lays the two out vertically.
    bool Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id);
    void Init(double minimum, double maximum, double value, double step);
    // Places both over `rect` moved 2 pixels right and down, raises them, takes the focus
    // and blanks the soft keys.
    void LayoutAndShow(const QRect& rect);

    double GetValue() const { return value_; }
    QString GetText() const; // the value box's text

    int GetDlgCtrlID() const { return controlId_; }
    std::uint32_t GetStyle() const { return style_; }
    unsigned GetRepeatCounter() const { return repeatCounter_; }
    QLineEdit* GetValueBox() const { return valueBox_.data(); }

    // Key messages as virtual-key codes, after they have been passed on to the parent
    // view; public so that the program and tests can drive the stepper without a keyboard.
    void OnKeyDown(int code);
    void OnKeyUp(int code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void ShowValue();

    std::uint32_t style_ = 0;
    unsigned repeatCounter_ = 0;
    double minimum_ = 0.0;
    double maximum_ = 0.0;
    double value_ = 0.0;
    double step_ = 0.0;
    QPointer<QLineEdit> valueBox_; // a child of the parent, not of the stepper
    int controlId_ = 0;
};
