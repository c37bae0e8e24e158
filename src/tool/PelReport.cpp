#include "tool/PelReport.h"

#include "platform/Fonts.h"
#include "tool/TraceChart.h"
#include "ui/Colors.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace tool {

namespace {

// Dots per inch of the page's coordinates: the chart's 1-pixel lines come out 0.26 mm wide.
constexpr int kResolution = 96;
constexpr double kMarginMm = 15;
constexpr double kTextWidthMm = 210 - 2 * kMarginMm; // on A4
constexpr double kFooterGapMm = 5;                   // below the text, in the bottom margin
constexpr double kMillimetresPerInch = 25.4;

// The chart is laid out as a picture of this many pixels and scaled to the page's width:
// the instrument's 11-pixel labels come out at about 6 points.
constexpr QSize kChartLayout{900, 550};
constexpr double kChartHeightMm = 110;

// Type sizes in points.
constexpr double kTitlePoints = 16;
constexpr double kHeadingPoints = 12.5;
constexpr double kBodyPoints = 9;
constexpr double kTablePoints = 8;
constexpr double kCaptionPoints = 7;
constexpr int kBold = 700;
constexpr int kNormal = 400;

// Colours, 0x00BBGGRR.
constexpr std::uint32_t kTextColor = 0x000000;
constexpr std::uint32_t kCaptionColor = 0x606060;
constexpr std::uint32_t kRuleColor = 0xA0A0A0;
constexpr std::uint32_t kHighlightColor = 0xC8F5C8; // the likely end's row, pale green as its chart mark
constexpr std::uint32_t kDamagedColor = 0x0000B0;

constexpr double kCellPaddingMm = 1.0;
constexpr double kLegendIndentMm = 10;
constexpr double kRowGapMm = 0.6;

QFont ReportFont(double points, int weight = kNormal) {
    QFont font = platform::DerivedFont(weight);
    font.setPointSizeF(points);
    return font;
}

struct Column {
    QString heading;
    double widthMm;
    Qt::Alignment align = Qt::AlignLeft;
};

QStringList Headings(const std::vector<Column>& columns) {
    QStringList headings;
    for (const Column& column : columns)
        headings.append(column.heading);
    return headings;
}

// The pages in the making: text flows down the page between its margins and goes on to
// the next page when it does not fit.
class PageFlow {
public:
    PageFlow(QPdfWriter& writer, const QString& title) : writer_(writer), painter_(&writer), title_(title) {}

    double Mm(double millimetres) const { return millimetres * kResolution / kMillimetresPerInch; }
    double Width() const { return painter_.viewport().width(); }
    double Top() const { return y_; }

    // Ends the page with its footer: the report's title and the page's number.
    void EndPage() {
        const QFont font = ReportFont(kCaptionPoints);
        const double height = QFontMetricsF(font, &writer_).height();
        const QRectF footer(0, painter_.viewport().height() + Mm(kFooterGapMm), Width(), height);
        painter_.setFont(font);
        painter_.setPen(ColorFromRef(kCaptionColor));
        painter_.drawText(footer, Qt::AlignLeft | Qt::AlignTop, title_);
        painter_.drawText(footer, Qt::AlignRight | Qt::AlignTop, QStringLiteral("page %1").arg(++pages_));
    }
    void NewPage() {
        EndPage();
        writer_.newPage();
        y_ = 0;
    }
    void Space(double millimetres) { y_ += Mm(millimetres); }
    bool Fits(double height) const { return y_ + height <= painter_.viewport().height(); }
    // Goes on to the next page unless `height` still fits on this one.
    void Reserve(double height) {
        if (y_ > 0 && !Fits(height))
            NewPage();
    }

    void Text(const QString& text, const QFont& font, std::uint32_t color = kTextColor) {
        const QRectF box(0, 0, Width(), 1e6);
        const double height = QFontMetricsF(font, &writer_).boundingRect(box, Qt::TextWordWrap, text).height();
        Reserve(height);
        painter_.setFont(font);
        painter_.setPen(ColorFromRef(color));
        painter_.drawText(QRectF(0, y_, Width(), height), Qt::TextWordWrap, text);
        y_ += height + Mm(kRowGapMm);
    }

    void Rule() {
        painter_.setPen(QPen(ColorFromRef(kRuleColor), Mm(0.2)));
        painter_.drawLine(QPointF(0, y_), QPointF(Width(), y_));
        y_ += Mm(kRowGapMm);
    }

    // Height of a table row: its tallest cell, wrapped within its column.
    double RowHeight(const std::vector<Column>& columns, const QStringList& cells, const QFont& font) const {
        const QFontMetricsF metrics(font, &writer_);
        double height = metrics.height();
        for (std::size_t i = 0; i < columns.size() && i < static_cast<std::size_t>(cells.size()); ++i) {
            const QRectF box(0, 0, Mm(columns[i].widthMm - 2 * kCellPaddingMm), 1e6);
            height = std::max(height, metrics.boundingRect(box, Qt::TextWordWrap, cells[static_cast<int>(i)]).height());
        }
        return height + Mm(kRowGapMm);
    }

    // One table row, each cell wrapped within its column; `fill` shades the row.
    void Row(const std::vector<Column>& columns, const QStringList& cells, const QFont& font,
             std::optional<std::uint32_t> fill = std::nullopt, std::uint32_t color = kTextColor) {
        const double padding = Mm(kCellPaddingMm);
        const double height = RowHeight(columns, cells, font);
        Reserve(height);
        if (fill)
            painter_.fillRect(QRectF(0, y_, Width(), height), ColorFromRef(*fill));
        painter_.setFont(font);
        painter_.setPen(ColorFromRef(color));
        double x = 0;
        for (std::size_t i = 0; i < columns.size() && i < static_cast<std::size_t>(cells.size()); ++i) {
            const double width = Mm(columns[i].widthMm);
            painter_.drawText(QRectF(x + padding, y_ + Mm(kRowGapMm) / 2, width - 2 * padding, height),
                              static_cast<int>(columns[i].align | Qt::AlignTop) | Qt::TextWordWrap,
                              cells[static_cast<int>(i)]);
            x += width;
        }
        y_ += height;
    }

    // A table with its headings, repeated on each page it runs on to. A row is shaded when
    // `highlighted` says so, and written in `colors` when they give it a colour.
    void Table(const std::vector<Column>& columns, const std::vector<QStringList>& rows,
               const std::vector<bool>& highlighted, const std::vector<std::uint32_t>& colors = {}) {
        const QStringList headings = Headings(columns);
        const QFont headingFont = ReportFont(kTablePoints, kBold);
        const auto writeHeadings = [&] {
            Row(columns, headings, headingFont);
            Rule();
        };
        Reserve(RowHeight(columns, headings, headingFont) * 2);
        writeHeadings();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const bool highlight = i < highlighted.size() && highlighted[i];
            const QFont font = ReportFont(kTablePoints, highlight ? kBold : kNormal);
            if (!Fits(RowHeight(columns, rows[i], font))) {
                NewPage();
                writeHeadings();
            }
            Row(columns, rows[i], font, highlight ? std::optional<std::uint32_t>(kHighlightColor) : std::nullopt,
                i < colors.size() ? colors[i] : kTextColor);
        }
    }

    // The chart, the page's width wide.
    void Chart(const std::vector<analysis::StoredTrace>& traces, const ChartOptions& options) {
        const double height = Mm(kChartHeightMm);
        Reserve(height);
        QString ignored; // the traces and the layout are always drawable here
        PaintChart(painter_, QRectF(0, y_, Width(), height), kChartLayout, traces, options, &ignored);
        y_ += height + Mm(2);
    }

    // A short line in a trace's colour before a caption, for the overlay's legend.
    void Legend(std::uint32_t color, const QString& caption) {
        const QFont font = ReportFont(kBodyPoints);
        const QFontMetricsF metrics(font, &writer_);
        const QRectF box(Mm(kLegendIndentMm), 0, Width() - Mm(kLegendIndentMm), 1e6);
        const double height = metrics.boundingRect(box, Qt::TextWordWrap, caption).height();
        Reserve(height);
        const double middle = y_ + metrics.height() / 2;
        painter_.setPen(QPen(ColorFromRef(color), Mm(0.8)));
        painter_.drawLine(QPointF(0, middle), QPointF(Mm(kLegendIndentMm - 2), middle));
        painter_.setFont(font);
        painter_.setPen(ColorFromRef(kTextColor));
        painter_.drawText(box.translated(0, y_), Qt::TextWordWrap, caption);
        y_ += height + Mm(kRowGapMm);
    }

private:
    QPdfWriter& writer_;
    QPainter painter_;
    QString title_;
    double y_ = 0;
    int pages_ = 0;
};

// The first page's word on a file: its likely end or fault, or why there is none.
QString Finding(const LoadedTrace& file, const std::optional<TraceEvents>& found) {
    if (!found)
        return file.error;
    const TraceEvents& events = *found;
    if (events.report.reflections.empty())
        return kNoReflections;
    if (const auto end = LikelyEnd(events))
        return QStringLiteral("#%1 at %2 m: %3 %4")
            .arg(end->number)
            .arg(end->distance)
            .arg(end->sign)
            .arg(end->impedance);
    return QStringLiteral("no event stands out");
}

// The fault finder's events of each readable file, found once for the list and the pages.
using FoundEvents = std::vector<std::optional<TraceEvents>>;

void ListPage(PageFlow& flow, const std::vector<LoadedTrace>& files, const FoundEvents& found,
              const ReportOptions& options) {
    flow.Text(options.title, ReportFont(kTitlePoints, kBold));
    QString about =
        files.size() == 1 ? QStringLiteral("1 reflectogram") : QStringLiteral("%1 reflectograms").arg(files.size());
    if (options.ku)
        about += QStringLiteral("; distances for КУ %1 (V/2 %2 m/us), not the files' own")
                     .arg(Number(*options.ku, 4), Number(kHalfLightSpeed / *options.ku, 2));
    flow.Text(about, ReportFont(kBodyPoints), kCaptionColor);
    flow.Space(3);
    const std::vector<Column> columns = {{QStringLiteral("#"), 7, Qt::AlignRight},
                                         {QStringLiteral("File"), 35},
                                         {QStringLiteral("Saved"), 33},
                                         {QStringLiteral("Range"), 16, Qt::AlignRight},
                                         {QStringLiteral("Pulse"), 16, Qt::AlignRight},
                                         {QStringLiteral("КУ"), 12, Qt::AlignRight},
                                         {QStringLiteral("Likely end or fault"), 61}};
    std::vector<QStringList> rows;
    std::vector<std::uint32_t> colors;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const LoadedTrace& file = files[i];
        QStringList row{QString::number(i + 1), FileName(file.path)};
        if (file.trace) {
            const TraceSettings settings = SettingsOf(*file.trace);
            row << ModifiedText(*file.trace) << settings.range << settings.pulse << settings.ku;
        } else {
            row << QString() << QString() << QString() << QString();
        }
        rows.push_back(row << Finding(file, found[i]));
        colors.push_back(file.trace ? kTextColor : kDamagedColor);
    }
    flow.Table(columns, rows, {}, colors);
}

void SettingsTable(PageFlow& flow, const analysis::StoredTrace& trace) {
    const TraceSettings s = SettingsOf(trace);
    const double width = kTextWidthMm / 7;
    std::vector<Column> columns;
    for (const char* name : {"Range", "Pulse", "Averaging", "Gain", "Matching", "КУ", "V/2"})
        columns.push_back({QString::fromUtf8(name), width});
    flow.Row(columns, Headings(columns), ReportFont(kCaptionPoints), std::nullopt, kCaptionColor);
    flow.Row(columns, {s.range, s.pulse, s.averaging, s.gain, s.matching, s.ku, s.v2}, ReportFont(kBodyPoints));
}

void PageHeading(PageFlow& flow, int number, const LoadedTrace& file) {
    flow.Text(QStringLiteral("%1. %2").arg(number).arg(FileName(file.path)), ReportFont(kHeadingPoints, kBold));
    if (file.trace)
        flow.Text(QStringLiteral("saved %1").arg(ModifiedText(*file.trace)), ReportFont(kBodyPoints), kCaptionColor);
}

// The chart marks and the table of the events of `events`.
void EventsPart(PageFlow& flow, const std::vector<analysis::StoredTrace>& traces, const TraceEvents& events,
                const ReportOptions& options) {
    if (events.otherVelocity)
        flow.Text(VelocityLine(events) + QStringLiteral(" (not the file's own)"), ReportFont(kBodyPoints));
    flow.Text(QStringLiteral("Fault finder: ") + NoiseLine(events), ReportFont(kBodyPoints));
    flow.Space(1);
    ChartOptions chart{{}, options.ku, {}};
    const std::vector<EventRow> rows = EventRows(events);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const EventRow& row = rows[i];
        const double metres = events.distance.Metres(events.report.reflections[i].sample);
        const bool end = events.report.reflections[i].likelyEnd;
        chart.marks.push_back(
            {metres, end ? QStringLiteral("%1: %2 m").arg(row.number).arg(row.distance) : QString::number(row.number),
             end});
    }
    flow.Chart(traces, chart);
    if (rows.empty()) {
        flow.Text(kNoReflections, ReportFont(kBodyPoints, kBold));
        return;
    }
    const std::vector<Column> columns = {
        {QStringLiteral("#"), 8, Qt::AlignRight},
        {QStringLiteral("Distance, m"), 20, Qt::AlignRight},
        {QStringLiteral("Sign"), 9, Qt::AlignHCenter},
        {QStringLiteral("Impedance"), 45},
        {QStringLiteral("Size, steps"), 18, Qt::AlignRight},
        {QStringLiteral("× noise"), 15, Qt::AlignRight},
        {QStringLiteral("dB to launch"), 20, Qt::AlignRight},
        {QStringLiteral("Remark"), 45},
    };
    std::vector<QStringList> cells;
    std::vector<bool> highlighted;
    for (const EventRow& row : rows) {
        cells.push_back({QString::number(row.number), row.distance, QString(row.sign), row.impedance, row.size,
                         row.noiseRatio, row.decibels, row.remark});
        highlighted.push_back(events.report.reflections[static_cast<std::size_t>(row.number - 1)].likelyEnd);
    }
    flow.Table(columns, cells, highlighted);
    if (!LikelyEnd(events)) {
        flow.Space(1);
        flow.Text(kNothingStandsOut, ReportFont(kBodyPoints, kBold));
    }
}

void DamagedPage(PageFlow& flow, int number, const LoadedTrace& file) {
    PageHeading(flow, number, file);
    flow.Text(file.path, ReportFont(kCaptionPoints), kCaptionColor);
    flow.Space(2);
    flow.Text(QStringLiteral("This file cannot be used: ") + file.error, ReportFont(kBodyPoints, kBold), kDamagedColor);
}

void TracePage(PageFlow& flow, int number, const LoadedTrace& file, const TraceEvents& events,
               const ReportOptions& options) {
    PageHeading(flow, number, file);
    SettingsTable(flow, *file.trace);
    EventsPart(flow, {*file.trace}, events, options);
}

// The readable files on one chart; the first one's events.
void OverlayPage(PageFlow& flow, const std::vector<const LoadedTrace*>& files, const TraceEvents& events,
                 const ReportOptions& options) {
    QStringList names;
    std::vector<analysis::StoredTrace> traces;
    for (const LoadedTrace* file : files) {
        names.append(FileName(file->path));
        traces.push_back(*file->trace);
    }
    flow.Text(QStringLiteral("Overlay: ") + names.join(QStringLiteral(", ")), ReportFont(kHeadingPoints, kBold));
    for (std::size_t i = 0; i < files.size(); ++i)
        flow.Legend(ChartTraceColor(static_cast<int>(i)), QStringLiteral("%1, saved %2: %3")
                                                              .arg(names[static_cast<int>(i)])
                                                              .arg(ModifiedText(traces[i]))
                                                              .arg(HeaderSummary(traces[i])));
    flow.Space(1);
    flow.Text(QStringLiteral("Events of %1").arg(names.front()), ReportFont(kBodyPoints, kBold));
    EventsPart(flow, traces, events, options);
}

} // namespace

QByteArray MakeReport(const std::vector<LoadedTrace>& files, const ReportOptions& options) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                         QPageLayout::Millimeter));
        writer.setTitle(options.title);
        writer.setCreator(QStringLiteral("pel-tool"));
        PageFlow flow(writer, options.title);
        FoundEvents found;
        for (const LoadedTrace& file : files)
            found.push_back(file.trace ? std::optional(FindTraceEvents(*file.trace, options.ku)) : std::nullopt);
        ListPage(flow, files, found, options);

        std::vector<const LoadedTrace*> overlaid;
        const TraceEvents* overlayEvents = nullptr;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const LoadedTrace& file = files[i];
            if (options.overlay && file.trace) {
                overlayEvents = overlaid.empty() ? &*found[i] : overlayEvents;
                overlaid.push_back(&file);
                continue;
            }
            flow.NewPage();
            if (file.trace)
                TracePage(flow, static_cast<int>(i) + 1, file, *found[i], options);
            else
                DamagedPage(flow, static_cast<int>(i) + 1, file);
        }
        if (!overlaid.empty()) {
            flow.NewPage();
            OverlayPage(flow, overlaid, *overlayEvents, options);
        }
        flow.EndPage();
    }
    return bytes;
}

} // namespace tool
