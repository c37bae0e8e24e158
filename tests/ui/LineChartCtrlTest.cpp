#include "ui/LineChartCtrl.h"
#include "ui/Colors.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

// The measurement view's chart: 510 pixels wide so one point column is one pixel, and
// 273 high so the plot is 256 pixels high.
constexpr ChartRect kChart{0, 0, 510, 273};
// Its plot: 5 pixels of margin, 12 pixels of label band.
constexpr int kPlotLeft = 5;
constexpr int kPlotTop = 5;
constexpr int kPlotRight = 505;
constexpr int kPlotBottom = 261;
constexpr int kCentreRow = kPlotTop + 128;
// Text rows of the distance labels: the text cell starts one row above the plot's bottom.
constexpr int kLabelTop = kPlotBottom - 1;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kMinorGrid = 0x323232;
constexpr std::uint32_t kCentreLine = 0x646464;
constexpr std::uint32_t kLabelText = 0x7F7F7F;
constexpr std::uint32_t kActiveCursor = 0x00D0FF;
constexpr std::uint32_t kInactiveCursor = 0x7F7F7F;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;

using Points = std::array<std::uint8_t, kSeriesPoints>;

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
}

Points Flat(int value) {
    Points points;
    points.fill(Byte(value));
    return points;
}

QRgb Rgb(std::uint32_t colorRef) {
    return ColorFromRef(colorRef).rgb();
}

QRgb PixelAt(const CLineChartCtrl& chart, int x, int y) {
    return chart.Target().pixel(x, y);
}

// Row of a trace value on the measurement view's plot with the range -128..128.
int RowOf(int value) {
    return kPlotTop + (128 - value);
}

QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The label as it should look: written with its top-left corner at `topLeft`.
QImage ReferenceText(const QString& text, const QPoint& topLeft) {
    QImage image(CLineChartCtrl::kTargetWidth, CLineChartCtrl::kTargetHeight, QImage::Format_RGB32);
    image.fill(ColorFromRef(kBlack));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(LabelFont());
    painter.setPen(ColorFromRef(kLabelText));
    painter.drawText(QPoint(topLeft.x(), topLeft.y() + painter.fontMetrics().ascent()), text);
    return image;
}

int LabelWidth(const QString& text) {
    return QFontMetrics(LabelFont()).horizontalAdvance(text);
}

// Whether the label-coloured pixels of the chart's label band, in the columns
// [left, left + width of text), are exactly those of the reference text. A grid line
// crosses the text cell's top rows; those rows never hold glyph pixels of digits at this
// size, but the grid column is left out anyway.
bool LabelShown(const CLineChartCtrl& chart, const QString& text, int left, int gridColumn = -1,
                int labelTop = kLabelTop) {
    const QImage reference = ReferenceText(text, QPoint(left, labelTop));
    const int height = QFontMetrics(LabelFont()).height();
    int textPixels = 0;
    for (int x = left; x < left + LabelWidth(text); ++x) {
        if (x == gridColumn) {
            continue;
        }
        for (int y = labelTop; y < labelTop + height; ++y) {
            const bool expected = reference.pixel(x, y) == Rgb(kLabelText);
            const bool shown = chart.Target().pixel(x, y) == Rgb(kLabelText);
            if (expected != shown) {
                return false;
            }
            textPixels += expected ? 1 : 0;
        }
    }
    return textPixels > 0;
}

// Columns of the label band that hold label-coloured pixels.
std::set<int> LabelColumns(const CLineChartCtrl& chart) {
    std::set<int> columns;
    for (int y = kLabelTop; y < kChart.bottom; ++y) {
        for (int x = kChart.left; x < kChart.right; ++x) {
            if (PixelAt(chart, x, y) == Rgb(kLabelText)) {
                columns.insert(x);
            }
        }
    }
    return columns;
}

std::set<int> ColumnRange(int first, int pastLast) {
    std::set<int> columns;
    for (int x = first; x < pastLast; ++x) {
        columns.insert(x);
    }
    return columns;
}

// A chart as the measurement view sets it up, with pictures, on the given axis.
void Prepare(CLineChartCtrl& chart, double horizontalStep = 100.0, double firstColumn = 0.0) {
    chart.CreateBuffers();
    chart.SetAxis(horizontalStep, 25.0, firstColumn);
}

// ---------------------------------------------------------------------------------------
// Pixel arithmetic

TEST(LineChartGeometry, PlotLeavesMarginsAndLabelBand) {
    EXPECT_EQ(chart::PlotArea(kChart), (ChartRect{kPlotLeft, kPlotTop, kPlotRight, kPlotBottom}));
    EXPECT_EQ(chart::PlotArea(ChartRect{10, 20, 520, 293}), (ChartRect{15, 25, 515, 281}));
}

TEST(LineChartGeometry, ValueRangeSpansThePlotHeight) {
    const ChartRect plot = chart::PlotArea(kChart);
    EXPECT_EQ(chart::ValueY(Byte(0), 0, -128, 128, plot), kCentreRow);
    EXPECT_EQ(chart::ValueY(Byte(64), 0, -128, 128, plot), kPlotTop + 64);
    EXPECT_EQ(chart::ValueY(Byte(-64), 0, -128, 128, plot), kPlotTop + 192);
    // The offset is added before clamping.
    EXPECT_EQ(chart::ValueY(Byte(100), 20, -128, 128, plot), kPlotTop + 8);
    EXPECT_EQ(chart::ValueY(Byte(-100), -20, -128, 128, plot), kPlotTop + 248);
}

TEST(LineChartGeometry, ValuesBeyondTheRangeAreClampedToThePlotEdges) {
    const ChartRect plot = chart::PlotArea(kChart);
    EXPECT_EQ(chart::ValueY(Byte(127), 200, -128, 128, plot), kPlotTop);
    EXPECT_EQ(chart::ValueY(Byte(-128), -200, -128, 128, plot), kPlotTop + 256);
    EXPECT_EQ(chart::ValueY(Byte(127), 1, -128, 128, plot), kPlotTop);
}

TEST(LineChartGeometry, OnePointColumnIsOnePixelOnTheMeasurementView) {
    const ChartRect plot = chart::PlotArea(kChart);
    for (int j = 0; j < kSeriesPoints; ++j) {
        ASSERT_EQ(chart::PointX(j, kSeriesPoints, plot), kPlotLeft + j) << "point " << j;
    }
}

TEST(LineChartGeometry, QRectIsTakenWithExclusiveEdges) {
    EXPECT_EQ(ChartRect::FromQRect(QRect(0, 0, 510, 273)), kChart);
    EXPECT_EQ(ChartRect::FromQRect(QRect(3, 4, 10, 20)), (ChartRect{3, 4, 13, 24}));
}

// ---------------------------------------------------------------------------------------
// Traces

TEST(LineChartTraces, NothingIsDrawnBeforeThePicturesExist) {
    const Points points = Flat(0);
    CLineChartCtrl chart;
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.EnableCursors();
    chart.Draw(kChart);
    chart.DrawCursors(kChart);
    EXPECT_FALSE(chart.HasBuffers());
    EXPECT_TRUE(chart.Target().isNull());

    chart.CreateBuffers();
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, 50, kCentreRow), Rgb(kBlue));
}

TEST(LineChartTraces, PointsLieAtTheirColumnAndRowInTheSeriesColour) {
    Points points = Flat(0);
    points[100] = Byte(100);
    points[300] = Byte(-64);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.Draw(kChart);

    EXPECT_EQ(PixelAt(chart, kPlotLeft + 100, RowOf(100)), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 300, RowOf(-64)), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 50, kCentreRow), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 498, kCentreRow), Rgb(kBlue));
    EXPECT_NE(PixelAt(chart, kPlotLeft + 50, kCentreRow - 1), Rgb(kBlue));
    EXPECT_NE(PixelAt(chart, kPlotLeft + 50, kCentreRow + 1), Rgb(kBlue));
    // Left of the first point there is no trace.
    EXPECT_NE(PixelAt(chart, kPlotLeft - 1, kCentreRow), Rgb(kBlue));

    // The channels menu moves a trace by its offset.
    chart.SetSeriesOffset(0, 20);
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 50, RowOf(20)), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 50, kCentreRow), Rgb(kCentreLine));
}

TEST(LineChartTraces, ClampedTracesRunAlongThePlotEdges) {
    const Points high = Flat(127);
    const Points low = Flat(-128);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 200, -128, 128, high.data());
    chart.AddSeries(kGreen, -200, -128, 128, low.data());
    chart.Draw(kChart);

    for (int x : {kPlotLeft, kPlotLeft + 1, 250, kPlotRight - 2}) {
        EXPECT_EQ(PixelAt(chart, x, kPlotTop), Rgb(kBlue)) << "x " << x;
        EXPECT_EQ(PixelAt(chart, x, kPlotTop + 256), Rgb(kGreen)) << "x " << x;
        EXPECT_EQ(PixelAt(chart, x, kPlotTop - 1), Rgb(kBlack)) << "x " << x;
        EXPECT_NE(PixelAt(chart, x, kPlotTop + 257), Rgb(kGreen)) << "x " << x;
    }
}

TEST(LineChartTraces, LaterSeriesDrawOverEarlierOnesAndHiddenOnesNotAtAll) {
    const Points points = Flat(40);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.AddSeries(kGreen, 0, -128, 128, points.data());
    const int x = kPlotLeft + 60;

    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kGreen));

    chart.HideSeries(1);
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kBlue));

    chart.HideSeries(0);
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kBlack));

    chart.ShowSeries(1);
    chart.HideSeries(5);
    chart.SetSeriesOffset(-1, 90);
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kGreen));
}

// ---------------------------------------------------------------------------------------
// Grid and labels

// Colour of the horizontal grid at `row` for lines every `spacing` rows from the centre.
std::uint32_t ExpectedGridRow(int row, int spacing) {
    if (row == kCentreRow) {
        return kCentreLine;
    }
    const int distance = row > kCentreRow ? row - kCentreRow : kCentreRow - row;
    const bool onLine = distance % spacing == 0 && row >= kPlotTop && row <= kPlotBottom;
    return onLine ? kMinorGrid : kBlack;
}

TEST(LineChartGrid, HorizontalLinesEvery25PixelsFiveAboveAndFiveBelowTheCentre) {
    const Points points = Flat(0);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    const int probe = 300; // between vertical lines at 205 and 305
    int above = 0;
    int below = 0;
    for (int y = 0; y < kChart.bottom; ++y) {
        const std::uint32_t expected = ExpectedGridRow(y, 25);
        ASSERT_EQ(PixelAt(chart, probe, y), Rgb(expected)) << "row " << y;
        if (expected == kMinorGrid) {
            (y < kCentreRow ? above : below) += 1;
        }
    }
    EXPECT_EQ(above, 5);
    EXPECT_EQ(below, 5);

    // The lines span the plot's width and stop at its left edge (the vertical grid line at
    // the plot's left edge is drawn over them).
    EXPECT_EQ(PixelAt(chart, kPlotLeft, kCentreRow), Rgb(kMinorGrid));
    EXPECT_EQ(PixelAt(chart, kPlotLeft + 1, kCentreRow), Rgb(kCentreLine));
    EXPECT_EQ(PixelAt(chart, kPlotRight - 1, kCentreRow), Rgb(kCentreLine));
    EXPECT_EQ(PixelAt(chart, kPlotLeft - 1, kCentreRow), Rgb(kBlack));
    EXPECT_EQ(PixelAt(chart, kPlotRight - 1, kCentreRow + 125), Rgb(kMinorGrid));
}

TEST(LineChartGrid, HiddenFirstSeriesStillGivesTheGridScale) {
    const Points ignored = Flat(0);
    const Points top = Flat(127);
    CLineChartCtrl chart;
    Prepare(chart);
    // Half the range of the visible trace: the grid lines lie twice as far apart.
    chart.AddSeries(kBlue, 0, -64, 64, ignored.data());
    chart.AddSeries(kGreen, 200, -128, 128, top.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    const int probe = 300;
    for (int y = kPlotTop + 1; y < kChart.bottom; ++y) {
        ASSERT_EQ(PixelAt(chart, probe, y), Rgb(ExpectedGridRow(y, 50))) << "row " << y;
    }
    EXPECT_EQ(PixelAt(chart, probe, kPlotTop), Rgb(kGreen));
    EXPECT_EQ(PixelAt(chart, probe, kCentreRow), Rgb(kCentreLine)); // no trace of series 0
}

TEST(LineChartGrid, NegativeFirstColumnGivesNoLineBeforeThePlotLeft) {
    const Points points = Flat(0);
    CLineChartCtrl chart;
    Prepare(chart, 100.0, -150.0);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    const std::set<int> lines = {55, 155, 255, 355, 455};
    const int probe = kCentreRow + 7; // off every horizontal line
    for (int x = kChart.left; x < kChart.right; ++x) {
        ASSERT_EQ(PixelAt(chart, x, probe), Rgb(lines.count(x) != 0 ? kMinorGrid : kBlack)) << "column " << x;
    }
    // The lines run the plot's height.
    EXPECT_EQ(PixelAt(chart, 55, kPlotTop), Rgb(kMinorGrid));
    EXPECT_EQ(PixelAt(chart, 55, kPlotBottom - 2), Rgb(kMinorGrid));
    EXPECT_EQ(PixelAt(chart, 55, kPlotTop - 1), Rgb(kBlack));
}

TEST(LineChartGrid, LabelOutsideThePlotIsSkippedButUsesUpItsEntry) {
    const Points points = Flat(0);
    const QStringList labels = {"10", "20", "30", "40", "50", "60"};
    CLineChartCtrl chart;
    // Grid lines at -45 (outside), 55, 155, 255, 355, 455.
    Prepare(chart, 100.0, -50.0);
    chart.SetLabels(1, &labels);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    std::set<int> expectedColumns;
    const std::array<int, 5> centres = {55, 155, 255, 355, 455};
    for (std::size_t i = 0; i < centres.size(); ++i) {
        const QString& text = labels.at(static_cast<qsizetype>(i + 1));
        const int left = centres[i] - LabelWidth(text) / 2;
        EXPECT_TRUE(LabelShown(chart, text, left, centres[i])) << "label " << text.toStdString();
        const std::set<int> window = ColumnRange(left, left + LabelWidth(text));
        expectedColumns.insert(window.begin(), window.end());
    }
    // The comparison tells the labels apart: the skipped first entry is not at 55.
    EXPECT_FALSE(LabelShown(chart, labels.at(0), 55 - LabelWidth(labels.at(0)) / 2, 55));

    const std::set<int> columns = LabelColumns(chart);
    EXPECT_FALSE(columns.empty());
    for (int column : columns) {
        EXPECT_EQ(expectedColumns.count(column), 1u) << "label pixel in column " << column;
    }
}

TEST(LineChartGrid, LabelsAtThePlotEdgesAreKeptInsideTheChart) {
    const Points points = Flat(0);
    const QStringList labels = {"1000 m", "x", "x", "x", "x", "2000 m"};
    CLineChartCtrl chart;
    Prepare(chart, 100.0, 0.0); // lines at 5, 105, ..., 505
    chart.SetLabels(5, &labels);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    const int rightWidth = LabelWidth(labels.at(1));
    ASSERT_GT(LabelWidth(labels.at(0)), 2 * kPlotLeft);
    EXPECT_TRUE(LabelShown(chart, labels.at(0), kChart.left, kPlotLeft));
    // Entry 1 belongs to the line at 505 (decimation 5: lines 0 and 5 carry labels).
    EXPECT_TRUE(LabelShown(chart, labels.at(1), kPlotRight - rightWidth / 2, kPlotRight));

    chart.SetLabels(1, &labels);
    chart.Draw(kChart);
    const int wideWidth = LabelWidth(labels.at(5));
    ASSERT_GT(kPlotRight - wideWidth / 2 + wideWidth, kChart.right);
    EXPECT_TRUE(LabelShown(chart, labels.at(5), kChart.right - wideWidth, kPlotRight));
}

TEST(LineChartGrid, DecimatedLabelsTakeConsecutiveEntries) {
    const Points points = Flat(0);
    const QStringList labels = {"0", "200", "400", "600"};
    CLineChartCtrl chart;
    Prepare(chart, 100.0, 100.0); // lines at 105, 205, 305, 405, 505
    chart.SetLabels(2, &labels);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);

    std::set<int> expectedColumns;
    const std::array<int, 3> centres = {105, 305, 505};
    for (std::size_t i = 0; i < centres.size(); ++i) {
        const QString& text = labels.at(static_cast<qsizetype>(i));
        const int width = LabelWidth(text);
        const int left = std::min(centres[i] - width / 2, kChart.right - width);
        EXPECT_TRUE(LabelShown(chart, text, left, centres[i])) << "label " << text.toStdString();
        const std::set<int> window = ColumnRange(left, left + width);
        expectedColumns.insert(window.begin(), window.end());
    }
    for (int column : LabelColumns(chart)) {
        EXPECT_EQ(expectedColumns.count(column), 1u) << "label pixel in column " << column;
    }
}

// ---------------------------------------------------------------------------------------
// Background picture and capture display

TEST(LineChartBackground, GridIsRenderedAgainOnlyAfterAnAxisOrLabelChange) {
    const Points points = Flat(0);
    QStringList labels = {"20", "40"};
    CLineChartCtrl chart;
    Prepare(chart, 100.0, 100.0); // lines at 105 (labelled "20"), 205 ("40"), ...
    chart.SetLabels(1, &labels);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.HideSeries(0);
    chart.Draw(kChart);
    const QImage first = chart.Target();
    ASSERT_TRUE(LabelShown(chart, "40", 205 - LabelWidth("40") / 2, 205));

    // The list is the owner's; a change to it alone does not reach the picture.
    labels[1] = "90";
    chart.Draw(kChart);
    EXPECT_EQ(chart.Target(), first);

    chart.SetLabels(1, &labels);
    chart.Draw(kChart);
    EXPECT_TRUE(LabelShown(chart, "90", 205 - LabelWidth("90") / 2, 205));

    // Setting the same axis again still renders the grid anew.
    labels[1] = "70";
    chart.SetAxis(100.0, 25.0, 100.0);
    chart.Draw(kChart);
    EXPECT_TRUE(LabelShown(chart, "70", 205 - LabelWidth("70") / 2, 205));
}

TEST(LineChartBackground, GridCentreLineAndLabelsFollowTheRectangle) {
    const Points points = Flat(50);
    const QStringList labels = {"0", "100", "200", "300", "400", "500"};
    const auto setUp = [&](CLineChartCtrl& chart) {
        Prepare(chart); // lines at 5, 105, ..., 505
        chart.SetLabels(1, &labels);
        chart.AddSeries(kBlue, 0, -128, 128, points.data());
        chart.EnableCursors();
        chart.SetCursorPos(1, 120);
        chart.SetCursorPos(2, 320);
    };
    // One legend line fewer, the library's shortened chart, and back to the full height;
    // each reached by a full draw, a cursor-only redraw and a capture-display draw.
    const std::array<ChartRect, 3> rects = {ChartRect{0, 20, 510, 315}, ChartRect{0, 20, 510, 296}, kChart};
    for (int way = 0; way < 3; ++way) {
        CLineChartCtrl chart;
        setUp(chart);
        chart.Draw(kChart);
        for (const ChartRect& rect : rects) {
            chart.SetCursorPos(1, 220);
            if (way == 0) {
                chart.Draw(rect);
            } else if (way == 1) {
                chart.DrawCursors(rect);
            } else {
                chart.SetBackgroundOn(false);
                chart.Draw(rect);
            }
            // The centre line lies midway between a +50 and a -50 trace.
            const ChartRect plot = chart::PlotArea(rect);
            const int twiceMidway =
                chart::ValueY(Byte(50), 0, -128, 128, plot) + chart::ValueY(Byte(-50), 0, -128, 128, plot);
            int centre = -1;
            for (int y = rect.top; y < rect.bottom && centre < 0; ++y) {
                centre = PixelAt(chart, 300, y) == Rgb(kCentreLine) ? y : -1;
            }
            EXPECT_LE(std::abs(2 * centre - twiceMidway), 1) << "way " << way << " bottom " << rect.bottom;
            EXPECT_TRUE(LabelShown(chart, "300", 305 - LabelWidth("300") / 2, 305, plot.bottom - 1))
                << "way " << way << " bottom " << rect.bottom;

            // Inside the rectangle, the picture of a chart that only ever drew this one.
            CLineChartCtrl fresh;
            setUp(fresh);
            fresh.SetCursorPos(1, 220);
            fresh.Draw(rect);
            const QRect area(rect.left, rect.top, rect.Width(), rect.Height());
            EXPECT_TRUE(chart.Target().copy(area) == fresh.Target().copy(area))
                << "way " << way << " bottom " << rect.bottom;
            chart.SetBackgroundOn(true);
        }
    }
}

TEST(LineChartBackground, CaptureDisplayKeepsEarlierTracesUntilNormalDisplayReturns) {
    Points points = Flat(40);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.Draw(kChart);

    chart.SetBackgroundOn(false);
    points = Flat(-40);
    chart.Draw(kChart);
    const int x = kPlotLeft + 70;
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, x, RowOf(-40)), Rgb(kBlue));

    chart.SetBackgroundOn(true);
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, x, RowOf(40)), Rgb(kBlack));
    EXPECT_EQ(PixelAt(chart, x, RowOf(-40)), Rgb(kBlue));

    // Exactly the picture of a chart that only ever saw the last trace.
    CLineChartCtrl fresh;
    Prepare(fresh);
    fresh.AddSeries(kBlue, 0, -128, 128, points.data());
    fresh.Draw(kChart);
    EXPECT_EQ(chart.Target(), fresh.Target());
}

TEST(LineChartBackground, CaptureDisplayTakesAwayOnlyTheOldCursorLine) {
    Points points = Flat(40);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.EnableCursors();
    chart.SetCursorPos(1, 100);
    chart.SetCursorPos(2, 300);
    chart.SetBackgroundOn(false);
    chart.Draw(kChart);
    ASSERT_EQ(PixelAt(chart, 105, RowOf(40)), Rgb(kActiveCursor));

    points = Flat(-40);
    chart.SetCursorPos(1, 200);
    chart.Draw(kChart);
    // The first trace is back where the old cursor line crossed it.
    EXPECT_EQ(PixelAt(chart, 105, RowOf(40)), Rgb(kBlue));
    EXPECT_EQ(PixelAt(chart, 105, RowOf(-40)), Rgb(kBlue));
    for (int y = 20; y < kPlotBottom - 1; ++y) {
        ASSERT_NE(PixelAt(chart, 105, y), Rgb(kActiveCursor)) << "row " << y;
    }
    EXPECT_EQ(PixelAt(chart, 205, 150), Rgb(kActiveCursor));
    EXPECT_EQ(PixelAt(chart, 305, 150), Rgb(kInactiveCursor));
}

// ---------------------------------------------------------------------------------------
// Cursors

TEST(LineChartCursors, CursorNumbersOtherThanOneAndTwoAreIgnored) {
    CLineChartCtrl chart;
    chart.EnableCursors();
    chart.SetCursorPos(3, 42);
    chart.SetCursorPos(0, 42);
    EXPECT_EQ(chart.CursorColumn(1), 500);
    EXPECT_EQ(chart.CursorColumn(2), 0);
    EXPECT_FALSE(chart.CursorsOnly());
}

TEST(LineChartCursors, CursorMoveAsksForCursorOnlyRedrawOnlyWhileShown) {
    CLineChartCtrl chart;
    chart.SetCursorPos(1, 10);
    EXPECT_EQ(chart.CursorColumn(1), 10);
    EXPECT_FALSE(chart.CursorsOnly());

    chart.EnableCursors();
    chart.SetCursorPos(2, 20);
    EXPECT_EQ(chart.CursorColumn(2), 20);
    EXPECT_TRUE(chart.CursorsOnly());
    chart.ClearCursorsOnly();
    EXPECT_FALSE(chart.CursorsOnly());
}

TEST(LineChartCursors, ActiveCursorIsDrawnInItsColourAndTheOtherInGrey) {
    const Points points = Flat(0);
    CLineChartCtrl chart;
    Prepare(chart); // vertical grid lines at 5, 105, ...; the cursors stay off them
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.EnableCursors();
    chart.SetCursorPos(1, 120);
    chart.SetCursorPos(2, 320);
    chart.Draw(kChart);
    // Painted straight onto another picture (a report page, say), the chart has the same
    // pixels as the cached drawing: grid, trace and cursors.
    const QRect area(0, 0, kChart.Width(), kChart.Height());
    QImage painted(area.size(), QImage::Format_RGB32);
    painted.fill(Qt::white);
    {
        QPainter painter(&painted);
        chart.Paint(painter, kChart);
    }
    EXPECT_EQ(painted, chart.Target().copy(area));

    // The line sits at column + 5, from below the numbers to the plot's bottom.
    for (int y = 12; y < kPlotBottom - 1; ++y) {
        ASSERT_EQ(PixelAt(chart, 125, y), Rgb(kActiveCursor)) << "row " << y;
        ASSERT_EQ(PixelAt(chart, 325, y), Rgb(kInactiveCursor)) << "row " << y;
    }
    EXPECT_NE(PixelAt(chart, 124, 150), Rgb(kActiveCursor));
    EXPECT_NE(PixelAt(chart, 126, 150), Rgb(kActiveCursor));
    // The numbers' cells are filled with their cursor's colour, starting at column + 2.
    EXPECT_EQ(PixelAt(chart, 122, 0), Rgb(kActiveCursor));
    EXPECT_EQ(PixelAt(chart, 121, 0), Rgb(kBlack));
    EXPECT_EQ(PixelAt(chart, 322, 0), Rgb(kInactiveCursor));

    chart.SetActiveCursor(2);
    chart.DrawCursors(kChart);
    EXPECT_EQ(PixelAt(chart, 125, 150), Rgb(kInactiveCursor));
    EXPECT_EQ(PixelAt(chart, 325, 150), Rgb(kActiveCursor));
    EXPECT_EQ(PixelAt(chart, 122, 0), Rgb(kInactiveCursor));
    EXPECT_EQ(PixelAt(chart, 322, 0), Rgb(kActiveCursor));

    chart.DisableCursors();
    chart.Draw(kChart);
    EXPECT_EQ(PixelAt(chart, 125, 150), Rgb(kBlack));
    EXPECT_EQ(PixelAt(chart, 325, 150), Rgb(kBlack));
    EXPECT_EQ(PixelAt(chart, 122, 0), Rgb(kBlack));
}

TEST(LineChartCursors, InactiveCursorCoversTheActiveOneOnTheSameColumn) {
    const Points points = Flat(0);
    for (int active : {1, 2}) {
        CLineChartCtrl chart;
        Prepare(chart);
        chart.AddSeries(kBlue, 0, -128, 128, points.data());
        chart.EnableCursors();
        chart.SetActiveCursor(active);
        chart.SetCursorPos(1, 220);
        chart.SetCursorPos(2, 220);
        chart.Draw(kChart);
        for (int y = 12; y < kPlotBottom - 1; ++y) {
            ASSERT_EQ(PixelAt(chart, 225, y), Rgb(kInactiveCursor)) << "active " << active << " row " << y;
        }
    }
}

TEST(LineChartCursors, CursorMoveRepaintsOnlyTheTwoStrips) {
    Points points = Flat(0);
    for (int j = 0; j < kSeriesPoints; ++j) {
        points[static_cast<std::size_t>(j)] = Byte((j % 50) - 25);
    }
    const QStringList labels = {"0", "100", "200", "300", "400", "500"};
    CLineChartCtrl chart;
    Prepare(chart);
    chart.SetLabels(1, &labels);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.EnableCursors();
    chart.SetCursorPos(1, 100);
    chart.SetCursorPos(2, 300);
    chart.ClearCursorsOnly();
    chart.Draw(kChart);
    const QImage before = chart.Target();

    chart.SetCursorPos(1, 250);
    ASSERT_TRUE(chart.CursorsOnly());
    chart.DrawCursors(kChart);
    const QImage after = chart.Target();

    const auto inStrip = [](int x, int column) { return x >= column + 1 && x <= column + 8; };
    int changedOld = 0;
    int changedNew = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (before.pixel(x, y) == after.pixel(x, y)) {
                continue;
            }
            ASSERT_TRUE(inStrip(x, 100) || inStrip(x, 250)) << "changed pixel " << x << "," << y;
            (inStrip(x, 100) ? changedOld : changedNew) += 1;
        }
    }
    EXPECT_GT(changedOld, 0);
    EXPECT_GT(changedNew, 0);

    // The cursor-only redraw leaves the same picture as a full drawing would.
    CLineChartCtrl fresh;
    Prepare(fresh);
    fresh.SetLabels(1, &labels);
    fresh.AddSeries(kBlue, 0, -128, 128, points.data());
    fresh.EnableCursors();
    fresh.SetCursorPos(1, 250);
    fresh.SetCursorPos(2, 300);
    fresh.Draw(kChart);
    EXPECT_EQ(after, fresh.Target());
}

TEST(LineChartCursors, CursorsPartlyOutsideThePictureAreRemovedCleanly) {
    const Points points = Flat(10);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.EnableCursors();
    chart.SetCursorPos(1, 636);
    chart.SetCursorPos(2, -6);
    chart.Draw(kChart);

    chart.SetCursorPos(1, 100);
    chart.SetCursorPos(2, 300);
    chart.DrawCursors(kChart);

    CLineChartCtrl fresh;
    Prepare(fresh);
    fresh.AddSeries(kBlue, 0, -128, 128, points.data());
    fresh.EnableCursors();
    fresh.SetCursorPos(1, 100);
    fresh.SetCursorPos(2, 300);
    fresh.Draw(kChart);
    EXPECT_EQ(chart.Target(), fresh.Target());
}

TEST(LineChartCursors, HiddenCursorsAreNotRedrawn) {
    const Points points = Flat(0);
    CLineChartCtrl chart;
    Prepare(chart);
    chart.AddSeries(kBlue, 0, -128, 128, points.data());
    chart.Draw(kChart);
    const QImage before = chart.Target();

    chart.SetCursorPos(1, 100);
    chart.DrawCursors(kChart);
    EXPECT_EQ(chart.Target(), before);
}

} // namespace
