#pragma once

// The owner-drawn soft key and read-out label of every screen.

#include <QFont>
#include <QWidget>

#include <array>
#include <cstdint>

namespace button_state {
inline constexpr int kDisabled = 0;
inline constexpr int kNormal = 1;
inline constexpr int kSelected = 254;
inline constexpr int kMarked = 255;
} // namespace button_state

// Text placement flags of the caption.
namespace button_format {
inline constexpr std::uint32_t kCenter = 0x01;
inline constexpr std::uint32_t kVerticalCenter = 0x04;
inline constexpr std::uint32_t kWordBreak = 0x10;
inline constexpr std::uint32_t kSingleLine = 0x20;
inline constexpr std::uint32_t kDefault = 0x35;
} // namespace button_format

struct ButtonColors {
    std::uint32_t back;
    std::uint32_t text;
    std::uint32_t frame;
};

// The caption as lines: every line feed and carriage return ends a line; at most ten lines.
QStringList SplitCaption(const QString& caption);

class CPELButton : public QWidget {
    Q_OBJECT
public:
    explicit CPELButton(QWidget* parent = nullptr);

    void SetScheme(std::uint32_t normalBack, std::uint32_t normalText, std::uint32_t selectedBack,
                   std::uint32_t selectedText, int normalWeight, int selectedWeight, std::uint32_t format);
    void SetNormalColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame);
    void SetSelectedColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame);
    void SetDisabledColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame);
    void SetMarkedColors(std::uint32_t back, std::uint32_t text, std::uint32_t frame);
    void SetNormalFont(int height, int weight);
    void SetSelectedFont(int height, int weight);
    void SetDisabledFont(int height, int weight);
    void SetMarkedFont(int height, int weight);
    void SetFormat(std::uint32_t format) { format_ = format; }
    void SetFlat(bool flat) { flat_ = flat ? 1 : 0; }

    // Repaint at once when something changed; an unchanged state (and text) does nothing.
    void SetState(int state);
    void SetStateText(int state, const QString& text);
    void SetCaption(const QString& text) { caption_ = text; }

    int GetState() const { return state_; }
    const QString& GetCaption() const { return caption_; }
    int GetPaintCount() const { return paintCount_; }

    // Draws the button into `painter` over `rect`.
    void DrawItem(QPainter& painter, const QRect& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int StateIndex() const;

    QString caption_;
    int flat_ = 1;
    int state_ = button_state::kNormal;
    std::array<QFont, 4> fonts_;         // normal, selected, disabled, marked
    std::array<ButtonColors, 4> colors_; // the same order
    std::uint32_t format_ = button_format::kDefault;
    int paintCount_ = 0;
};
