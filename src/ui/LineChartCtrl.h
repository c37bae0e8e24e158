#pragma once

// The reflectogram chart of the measurement view: a black plot with the distance grid and
// its labels, up to five traces of 500 signed points, and the two measuring cursors.
//
// The chart is not a widget. Its owner creates the off-screen pictures once (CreateBuffers),
// calls Draw or DrawCursors from its own paint handler and copies Target() to the screen.
// Grid and labels live in a background picture that is rebuilt only after an axis or label
// change or when the chart's rectangle is not the one it was drawn for (legend lines, the
// library's shortened chart and view switches move the plot); a cursor move repaints two
// 8-pixel-wide strips only.
//
// Lines are drawn with 1-pixel cosmetic pens with flat caps and no antialiasing: a line
// covers its start pixel but not its end pixel, so the pictures have the same pixels as the
// chart's pixel arithmetic (move to / line to) describes.

#include <QFont>
#include <QImage>
#include <QRect>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

// A rectangle with exclusive right and bottom edges (right = left + width), the form the
// chart's arithmetic is written in. QRect's right() and bottom() are inclusive, so
// conversions go through x + width and y + height, never through right() or bottom().
struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static ChartRect FromQRect(const QRect& rect) {
        return {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
    }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }

    friend bool operator==(const ChartRect&, const ChartRect&) = default;
};

// Trace colours (0x00BBGGRR) of the five channels, index = channel number:
// blue, green, red, orange, magenta.
inline constexpr std::array<std::uint32_t, 5> kSeriesColors = {0xFF0000, 0x00FF00, 0x0000FF, 0x0099FF, 0xFF00FF};

// Points per trace: the length of every channel's point array.
inline constexpr int kSeriesPoints = 500;

// One trace: it refers to the channel's point array, it never copies it.
struct CChartSeries {
    std::uint32_t color = 0; // 0x00BBGGRR
    int minimum = 0;
    int maximum = 0;
    int offset = 0;                     // added to every point before clamping
    const std::uint8_t* data = nullptr; // not owned; each byte is a signed value
    int dataSize = kSeriesPoints;
    bool hidden = false;
};

// The chart's pixel arithmetic, kept free of any picture so it can be checked on its own.
namespace chart {

// The plot inside the chart's rectangle: 5 pixels of margin, 12 pixels for the labels below.
ChartRect PlotArea(const ChartRect& chartRect);

// x of point `index` of `count` points.
int PointX(int index, int count, const ChartRect& plot);

// y of a point byte (read as signed) with the series' offset, clamped to minimum..maximum.
int ValueY(std::uint8_t pointByte, int offset, int minimum, int maximum, const ChartRect& plot);

} // namespace chart

class CLineChartCtrl {
public:
    // Sizes of the pictures the chart draws into.
    static constexpr int kTargetWidth = 640;
    static constexpr int kTargetHeight = 480;
    static constexpr int kStripWidth = 8;

    CLineChartCtrl();
    ~CLineChartCtrl();
    CLineChartCtrl(const CLineChartCtrl&) = delete;
    CLineChartCtrl& operator=(const CLineChartCtrl&) = delete;

    // Creates the target, the background and the two cursor strips (all RGB32, black), of
    // the screen's size or of another one (a picture for a report). Until then Draw and
    // DrawCursors do nothing.
    void CreateBuffers(int width = kTargetWidth, int height = kTargetHeight);
    bool HasBuffers() const { return !target_.isNull(); }
    // The finished picture the owner copies to the screen (null before CreateBuffers).
    const QImage& Target() const { return target_; }

    bool AddSeries(std::uint32_t color, int offset, int minimum, int maximum, const std::uint8_t* data);
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    // An index with no series is ignored by these three.
    void SetSeriesOffset(int index, int offset);
    void ShowSeries(int index);
    void HideSeries(int index);

    void SetAxis(double horizontalStep, double verticalStep, double firstColumn);
    double VerticalStep() const { return verticalStep_; }
    // `labels` is not owned: one label per vertical grid line; it must outlive its use here.
    void SetLabels(int decimation, const QStringList* labels);

    // Cursor number 1 or 2; any other number is ignored.
    void SetCursorPos(int cursorNumber, int column);
    int CursorColumn(int cursorNumber) const;
    void EnableCursors() { cursorsShown_ = true; }
    void DisableCursors() { cursorsShown_ = false; }
    bool CursorsShown() const { return cursorsShown_; }
    // Set by a cursor move while the cursors are shown: the owner may then redraw the
    // cursors alone, and clears the flag.
    bool CursorsOnly() const { return cursorsOnly_; }
    void ClearCursorsOnly() { cursorsOnly_ = false; }
    void SetActiveCursor(int cursorNumber) { activeCursor_ = cursorNumber; }
    int ActiveCursor() const { return activeCursor_; }

    // true: normal display; false: capture display, where traces pile up.
    bool BackgroundOn() const { return backgroundOn_; }
    void SetBackgroundOn(bool on) { backgroundOn_ = on; }

    // Full drawing of the chart's rectangle, ending with the cursors. In a rectangle other
    // than the last one drawn, the capture display starts again from the clean background.
    void Draw(const ChartRect& rect);
    void Draw(const QRect& rect) { Draw(ChartRect::FromQRect(rect)); }
    // Cursor-only redraw; in a rectangle other than the last one drawn it is a full drawing,
    // since the picture and the saved strips belong to the old one.
    void DrawCursors(const ChartRect& rect);
    void DrawCursors(const QRect& rect) { DrawCursors(ChartRect::FromQRect(rect)); }
    // The whole chart (grid, labels, traces and the cursors when shown) painted straight
    // onto another device, a report page say, with no cached pictures; the painter's
    // transform places and scales it. Needs no buffers.
    void Paint(QPainter& painter, const ChartRect& rect) const;

private:
    CChartSeries* SeriesAt(int index);
    void RebuildBackground(const ChartRect& rect, double range, int count);
    void PaintBackground(QPainter& painter, const ChartRect& rect, double range, int count) const;
    void DrawHorizontalGrid(QPainter& painter, const ChartRect& rect, double range) const;
    void DrawVerticalGrid(QPainter& painter, const ChartRect& rect, int count) const;
    void DrawTraces(QPainter& painter, const ChartRect& rect) const;
    void RestoreStrips(const ChartRect& rect);
    void SaveStrips(const ChartRect& rect);
    void DrawCursorMarks(QPainter& painter, const ChartRect& rect) const;

    std::vector<std::unique_ptr<CChartSeries>> series_;
    bool backgroundOn_ = true;
    bool backgroundDirty_ = true;
    bool cursorsShown_ = false;
    bool cursorsOnly_ = false;

    QImage target_;
    QImage background_;
    std::array<QImage, 2> strips_; // one per cursor
    // The rectangles the background and the target (with its saved strips) were drawn for;
    // empty while nothing has been drawn in that picture.
    std::optional<ChartRect> backgroundRect_;
    std::optional<ChartRect> targetRect_;

    double horizontalStep_ = 8.0; // in point columns
    double verticalStep_ = 8.0;   // in trace units
    double firstColumn_ = 0.0;    // may be negative
    int activeCursor_ = 1;
    int labelDecimation_ = 5;
    std::array<int, 2> cursorColumns_ = {500, 0};
    std::array<int, 2> drawnColumns_ = {0, 0};
    const QStringList* labels_ = nullptr;
    QFont labelFont_;
};
