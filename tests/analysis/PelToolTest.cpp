// pel-tool's commands on files written by the program itself.
#include "tool/PelTool.h"
#include "document/PELParam.h"
#include "platform/Files.h"
#include "tool/TraceChart.h"
#include "ui/Colors.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

struct ToolRun {
    int code = 0;
    QString out;
    QString err;
};

ToolRun Tool(const QStringList& arguments) {
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = tool::RunPelTool(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

class PelTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    // A reflectogram saved by the program's own channel code.
    QString Save(const QString& name, int range, int pulse, int average, int gain, int matching, double ku,
                 int shape = 0) {
        CChannel channel;
        channel.filePath = platform::AsFolder(folder_.path());
        channel.scale.SetIndex(range);
        channel.pulse.SetIndex(pulse);
        channel.average.SetIndex(average);
        channel.gain.SetIndex(gain);
        channel.matching.SetIndex(matching);
        channel.scale.vfactor.SetKU(ku);
        for (std::size_t j = 0; j < channel.scale.samples.size(); ++j)
            channel.scale.samples[j] = static_cast<std::uint8_t>(static_cast<std::int8_t>((j * 7 + shape) % 256 - 128));
        EXPECT_EQ(channel.SaveTrace(name), 0);
        return channel.filePath;
    }

    // A line as the board shows it: the launch pulse, then an echo of `height` steps and
    // 60 samples at each of `echoes` (sample index, height), on a faint ripple.
    QString SaveLine(const QString& name, int range, int pulse, double ku,
                     const std::vector<std::pair<int, int>>& echoes) {
        CChannel channel;
        channel.filePath = platform::AsFolder(folder_.path());
        channel.scale.SetIndex(range);
        channel.pulse.SetIndex(pulse);
        channel.average.SetIndex(4);
        channel.gain.SetIndex(100);
        channel.matching.SetIndex(100);
        channel.scale.vfactor.SetKU(ku);
        for (std::size_t j = 0; j < channel.scale.samples.size(); ++j) {
            int value = static_cast<int>(j % 3) - 1 + (j < 40 ? 120 : 0);
            for (const auto& [at, height] : echoes)
                value += static_cast<int>(j) >= at && static_cast<int>(j) < at + 60 ? height : 0;
            channel.scale.samples[j] = static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
        }
        EXPECT_EQ(channel.SaveTrace(name), 0);
        return channel.filePath;
    }

    QString Path(const QString& name) const { return QDir(folder_.path()).filePath(name); }

    QTemporaryDir folder_;
};

// distance_m,value rows after the '#' lines and the column names.
std::vector<std::pair<double, int>> Rows(const QString& csv, QStringList* comments) {
    std::vector<std::pair<double, int>> rows;
    for (const QString& line : csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('#'))) {
            comments->append(line);
            continue;
        }
        const QStringList cells = line.split(QLatin1Char(','));
        if (cells.size() != 2 || cells[0] == QLatin1String("distance_m"))
            continue;
        rows.emplace_back(cells[0].toDouble(), cells[1].toInt());
    }
    return rows;
}

TEST_F(PelTool, CsvRoundTripsTheSamplesAtTheProgramsDistances) {
    // Range 8000 m stores every eighth base sample; КУ 1.523 is stored as 1523.
    const QString path = Save(QStringLiteral("ЛИНИЯ 7.pel"), 7, 6, 6, 77, 120, 1.523);
    const ToolRun run = Tool({QStringLiteral("csv"), path});
    ASSERT_EQ(run.code, tool::kDone) << run.err.toStdString();
    QStringList comments;
    const auto rows = Rows(run.out, &comments);
    ASSERT_EQ(rows.size(), 8000u);
    const QString header = comments.join(QLatin1Char('\n'));
    for (const char* expected :
         {"# file: ЛИНИЯ 7.pel", "# range: 7 (8000 m)", "# pulse: 6 (1000 ns)", "# averaging: 6 (64)", "# gain: 77",
          "# matching: 120", "# KU: 1.523 (stored 1523)", "# V/2: 98.5 m/us", "# samples: 8000", "# storage factor: 8"})
        EXPECT_TRUE(header.contains(QString::fromUtf8(expected))) << expected << "\n" << header.toStdString();
    for (std::size_t j = 0; j < rows.size(); ++j) {
        EXPECT_NEAR(rows[j].first, j * 8 * 0.125 * (1.5 / 1.523), 5e-7) << j;
        EXPECT_EQ(rows[j].second, static_cast<int>((j * 7) % 256) - 128) << j;
    }

    // Another velocity: V/2 of 75 m/us is КУ 2; a fraction of the speed of light 0.5 too.
    for (const QStringList& option : {QStringList{QStringLiteral("--v2"), QStringLiteral("75")},
                                      QStringList{QStringLiteral("--vf"), QStringLiteral("0.5")},
                                      QStringList{QStringLiteral("--vf"), QStringLiteral("2")}}) {
        const QString out = Path(QStringLiteral("out.csv"));
        const ToolRun again = Tool(QStringList{QStringLiteral("csv"), path, QStringLiteral("-o"), out} + option);
        ASSERT_EQ(again.code, tool::kDone) << again.err.toStdString();
        QByteArray written;
        ASSERT_TRUE(platform::ReadWholeFile(out, written));
        QStringList ignored;
        const auto recomputed = Rows(QString::fromUtf8(written), &ignored);
        ASSERT_EQ(recomputed.size(), 8000u);
        EXPECT_NEAR(recomputed[1000].first, 1000 * 8 * 0.125 * (1.5 / 2.0), 5e-7) << option.join(' ').toStdString();
    }
    EXPECT_EQ(Tool({QStringLiteral("csv"), path, QStringLiteral("--v2"), QStringLiteral("30")}).code,
              tool::kUsageError);
    EXPECT_EQ(Tool({QStringLiteral("csv"), path, QStringLiteral("--vf"), QStringLiteral("3.5")}).code,
              tool::kUsageError);
}

TEST_F(PelTool, InfoReadsExportFoldersAndSaysWhyAFileIsDamaged) {
    const QDir root(folder_.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("RFG 2026.12.08  14-25")));
    const QString exportFolder = Path(QStringLiteral("RFG 2026.12.08  14-25/"));
    CChannel channel;
    Save(QStringLiteral("Б.pel"), 4, 3, 4, 100, 100, 1.5);
    Save(QStringLiteral("А.pel"), 0, 0, 0, 0, 30, 2.0);
    for (const QString& name : {QStringLiteral("А.pel"), QStringLiteral("Б.pel")})
        ASSERT_TRUE(platform::CopyFile(Path(name), exportFolder + name, true));

    ToolRun run = Tool({QStringLiteral("info"), exportFolder});
    ASSERT_EQ(run.code, tool::kDone) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(
        lines[0].startsWith(QStringLiteral("А.pel  range 62.5 m  pulse 10 ns  averaging 1  gain 0  matching 30  "
                                           "KU 2.000  V/2 75.0 m/us  samples 8000  modified ")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Б.pel  range 1000 m  pulse 100 ns  averaging 16  gain 100  "
                                                   "matching 100  KU 1.500  V/2 100.0 m/us  samples 8000")))
        << lines[1].toStdString();
    // The same as JSON: the header's numbers under names that carry their units.
    ToolRun json = Tool({QStringLiteral("info"), exportFolder, QStringLiteral("--json")});
    ASSERT_EQ(json.code, tool::kDone);
    QJsonArray files = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(files.size(), 2) << json.out.toStdString();
    const QJsonObject first = files[0].toObject();
    EXPECT_EQ(first[QStringLiteral("file")].toString(), QStringLiteral("А.pel"));
    const std::map<QString, double> numbers = {{QStringLiteral("range_m"), 62.5},   {QStringLiteral("pulse_ns"), 10},
                                               {QStringLiteral("averaging"), 1},    {QStringLiteral("gain"), 0},
                                               {QStringLiteral("matching"), 30},    {QStringLiteral("ku"), 2.0},
                                               {QStringLiteral("v2_m_per_us"), 75}, {QStringLiteral("samples"), 8000}};
    for (const auto& [key, value] : numbers)
        EXPECT_EQ(first[key].toDouble(-1), value) << key.toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("modified ") + first[QStringLiteral("modified")].toString()));

    // A file cut short in a copy: named, with the reason; the good ones are still listed.
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(exportFolder + QStringLiteral("Б.pel"), bytes));
    ASSERT_TRUE(platform::WriteFileAtomically(exportFolder + QStringLiteral("Б.pel"), bytes.left(3000)));
    ASSERT_TRUE(platform::WriteFileAtomically(exportFolder + QStringLiteral("В.pel"), bytes.left(100)));
    run = Tool({QStringLiteral("info"), exportFolder});
    EXPECT_EQ(run.code, tool::kSomeFilesFailed);
    EXPECT_TRUE(run.out.contains(QStringLiteral("А.pel  range 62.5 m")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Б.pel  damaged: 3000 bytes where the header announces 8512")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("В.pel  damaged: 100 bytes, shorter than the 512-byte header")))
        << run.out.toStdString();
    json = Tool({QStringLiteral("info"), exportFolder, QStringLiteral("--json")});
    EXPECT_EQ(json.code, tool::kSomeFilesFailed);
    files = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(files.size(), 3) << json.out.toStdString();
    EXPECT_EQ(files[0].toObject()[QStringLiteral("range_m")].toDouble(), 62.5);
    EXPECT_EQ(files[2].toObject()[QStringLiteral("file")].toString(), QStringLiteral("В.pel"));
    EXPECT_EQ(files[2].toObject()[QStringLiteral("error")].toString(),
              QStringLiteral("damaged: 100 bytes, shorter than the 512-byte header"));

    ASSERT_TRUE(root.mkpath(QStringLiteral("empty")));
    run = Tool({QStringLiteral("info"), Path(QStringLiteral("empty")), Path(QStringLiteral("missing.pel"))});
    EXPECT_EQ(run.code, tool::kSomeFilesFailed);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no reflectograms")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("no such file or folder")));
    EXPECT_EQ(Tool({QStringLiteral("nonsense")}).code, tool::kUsageError);
    EXPECT_EQ(Tool({QStringLiteral("info")}).code, tool::kUsageError);
}

int PixelsOf(const QImage& image, std::uint32_t colorRef) {
    const QRgb wanted = ColorFromRef(colorRef).rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF) ? 1 : 0;
    return count;
}

TEST_F(PelTool, PngHasTheRequestedSizeAndEachTraceInItsColour) {
    const QString first = Save(QStringLiteral("1.pel"), 4, 3, 4, 100, 100, 1.5, 0);
    const QString second = Save(QStringLiteral("2.pel"), 4, 3, 4, 100, 100, 1.5, 60);
    const QString third = Save(QStringLiteral("3.pel"), 4, 3, 4, 100, 100, 1.5, 120);
    const QString out = Path(QStringLiteral("chart.png"));
    const ToolRun run =
        Tool({QStringLiteral("png"), first, second, third, QStringLiteral("-o"), out, QStringLiteral("--size"),
              QStringLiteral("800x300"), QStringLiteral("--cursor"), QStringLiteral("250")});
    ASSERT_EQ(run.code, tool::kDone) << run.err.toStdString();
    const QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(800, 300));
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(PixelsOf(image, tool::ChartTraceColor(i)), 300) << "trace " << i;
    EXPECT_NE(tool::ChartTraceColor(0), tool::ChartTraceColor(1));
    EXPECT_GT(PixelsOf(image, 0x00D0FF), 200) << "the cursor line";
    EXPECT_GT(PixelsOf(image, 0x7F7F7F), 20) << "the distance labels";

    // A picture of one trace, the default size, named after it.
    const QString single = Path(QStringLiteral("single.png"));
    ASSERT_EQ(Tool({QStringLiteral("png"), second, QStringLiteral("-o"), single}).code, tool::kDone);
    const QImage one(single);
    EXPECT_EQ(one.size(), QSize(640, 480));
    EXPECT_GT(PixelsOf(one, tool::ChartTraceColor(0)), 300);
    EXPECT_EQ(PixelsOf(one, tool::ChartTraceColor(1)), 0);

    EXPECT_EQ(Tool({QStringLiteral("png"), first, QStringLiteral("--size"), QStringLiteral("20x20")}).code,
              tool::kUsageError);
    EXPECT_EQ(Tool({QStringLiteral("png"), first, QStringLiteral("--cursor"), QStringLiteral("5000")}).code,
              tool::kUsageError);
    EXPECT_EQ(Tool({QStringLiteral("png"), first, second, third, first}).code, tool::kUsageError);
}

// The distances of the events `events` prints, file by file.
std::map<QString, QStringList> PrintedDistances(const QString& eventsOutput) {
    static const QRegularExpression row(QStringLiteral("^\\s*\\d+\\s+(\\d+\\.\\d\\d)\\s+[+-]\\s"));
    std::map<QString, QStringList> distances;
    QString file;
    for (const QString& line : eventsOutput.split(QLatin1Char('\n'))) {
        if (line.contains(QStringLiteral(".pel  range ")))
            file = line.section(QStringLiteral("  "), 0, 0);
        else if (const auto match = row.match(line); match.hasMatch())
            distances[file].append(match.captured(1));
    }
    return distances;
}

// Output of one of poppler's tools on `pdf`.
QString Poppler(const QString& program, const QString& pdf) {
    QProcess process;
    process.start(program,
                  program == QLatin1String("pdftotext") ? QStringList{pdf, QStringLiteral("-")} : QStringList{pdf});
    EXPECT_TRUE(process.waitForFinished(-1)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PageCount(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(Poppler(QStringLiteral("pdfinfo"), pdf)).captured(1).toInt();
}

TEST_F(PelTool, ReportHasTheListAndAPagePerFileWithTheEventsAsEventsPrintsThem) {
    ASSERT_TRUE(QDir(folder_.path()).mkpath(QStringLiteral("RFG 2026.12.08  14-25")));
    const QString exportFolder = Path(QStringLiteral("RFG 2026.12.08  14-25/"));
    SaveLine(QStringLiteral("ЛИНИЯ 1.pel"), 4, 3, 1.5, {{2000, 30}, {5200, -45}});
    SaveLine(QStringLiteral("ЛИНИЯ 2.pel"), 5, 4, 1.523, {{3100, 50}});
    for (const QString& name : {QStringLiteral("ЛИНИЯ 1.pel"), QStringLiteral("ЛИНИЯ 2.pel")})
        ASSERT_TRUE(platform::CopyFile(Path(name), exportFolder + name, true));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path(QStringLiteral("ЛИНИЯ 1.pel")), bytes));
    ASSERT_TRUE(platform::WriteFileAtomically(exportFolder + QStringLiteral("ЛИНИЯ 3.pel"), bytes.left(100)));

    const ToolRun events = Tool({QStringLiteral("events"), exportFolder});
    const auto distances = PrintedDistances(events.out);
    ASSERT_EQ(distances.size(), 2u) << events.out.toStdString();
    for (const auto& [file, list] : distances)
        EXPECT_FALSE(list.isEmpty()) << file.toStdString();

    const QString pdf = Path(QStringLiteral("отчёт.pdf"));
    const ToolRun run = Tool({QStringLiteral("report"), exportFolder, QStringLiteral("-o"), pdf,
                              QStringLiteral("--title"), QStringLiteral("Участок Северный")});
    EXPECT_EQ(run.code, tool::kSomeFilesFailed) << "one file is damaged";
    EXPECT_TRUE(run.err.contains(QStringLiteral("ЛИНИЯ 3.pel: damaged"))) << run.err.toStdString();
    EXPECT_EQ(PageCount(pdf), 4) << "the list and one page per file";
    const QString text = Poppler(QStringLiteral("pdftotext"), pdf);
    for (const char* expected : {"Участок Северный", "ЛИНИЯ 1.pel", "ЛИНИЯ 2.pel", "ЛИНИЯ 3.pel", "1000 m", "100 ns",
                                 "1.500", "100.0 m/us", "2000 m", "200 ns", "1.523", "98.5 m/us",
                                 "damaged: 100 bytes, shorter than the 512-byte header", "likely end or fault"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    for (const auto& [file, list] : distances) {
        for (const QString& distance : list)
            EXPECT_TRUE(text.contains(distance)) << file.toStdString() << " " << distance.toStdString();
    }
    // The pages come in the list's order, the damaged file's page last.
    EXPECT_LT(text.lastIndexOf(QStringLiteral("ЛИНИЯ 1.pel")), text.lastIndexOf(QStringLiteral("ЛИНИЯ 2.pel")));
    EXPECT_LT(text.lastIndexOf(QStringLiteral("ЛИНИЯ 2.pel")), text.lastIndexOf(QStringLiteral("ЛИНИЯ 3.pel")));

    // Usage: the output is required, and an overlay takes at most three files.
    EXPECT_EQ(Tool({QStringLiteral("report"), exportFolder}).code, tool::kUsageError);
    EXPECT_EQ(Tool({QStringLiteral("report"), exportFolder, exportFolder, QStringLiteral("--overlay"),
                    QStringLiteral("-o"), pdf})
                  .code,
              tool::kUsageError);
}

TEST_F(PelTool, ReportOverlayKeepsTheFirstFilesEventsAtTheVelocityAskedFor) {
    const QString first = SaveLine(QStringLiteral("1.pel"), 4, 3, 1.5, {{2500, -40}});
    const QString second = SaveLine(QStringLiteral("2.pel"), 4, 3, 1.5, {{4000, 35}});
    const QString at75 = Tool({QStringLiteral("events"), first, QStringLiteral("--v2"), QStringLiteral("75")}).out;
    const QString own = Tool({QStringLiteral("events"), first}).out;
    const QStringList distances = PrintedDistances(at75)[QStringLiteral("1.pel")];
    ASSERT_FALSE(distances.isEmpty()) << at75.toStdString();
    ASSERT_NE(distances, PrintedDistances(own)[QStringLiteral("1.pel")]);

    const QString pdf = Path(QStringLiteral("overlay.pdf"));
    const ToolRun run = Tool({QStringLiteral("report"), first, second, QStringLiteral("--overlay"),
                              QStringLiteral("--v2"), QStringLiteral("75"), QStringLiteral("-o"), pdf});
    ASSERT_EQ(run.code, tool::kDone) << run.err.toStdString();
    EXPECT_EQ(PageCount(pdf), 2) << "the list and the overlay";
    const QString text = Poppler(QStringLiteral("pdftotext"), pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Reflectogram report")));
    EXPECT_TRUE(text.contains(QStringLiteral("Overlay: 1.pel, 2.pel"))) << text.toStdString();
    for (const QString& distance : distances)
        EXPECT_TRUE(text.contains(distance)) << distance.toStdString() << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("distances for KU 2.0000"))) << text.toStdString();
}

TEST_F(PelTool, EventsJsonHoldsTheNumbersOfTheTable) {
    const QString path = SaveLine(QStringLiteral("ЛИНИЯ.pel"), 4, 3, 1.5, {{2000, 30}, {5200, -45}});
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    ASSERT_TRUE(platform::WriteFileAtomically(Path(QStringLiteral("Ъ.pel")), bytes.left(3000)));
    const ToolRun table = Tool({QStringLiteral("events"), path, QStringLiteral("--vf"), QStringLiteral("0.7")});
    const ToolRun run = Tool({QStringLiteral("events"), path, Path(QStringLiteral("Ъ.pel")), QStringLiteral("--vf"),
                              QStringLiteral("0.7"), QStringLiteral("--json")});
    EXPECT_EQ(run.code, tool::kSomeFilesFailed);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    const QJsonArray files = document.array();
    ASSERT_EQ(files.size(), 2);
    const QJsonObject damaged = files[1].toObject();
    EXPECT_EQ(damaged[QStringLiteral("file")].toString(), QStringLiteral("Ъ.pel"));
    EXPECT_EQ(damaged[QStringLiteral("error")].toString(),
              QStringLiteral("damaged: 3000 bytes where the header announces 8512"));

    const QJsonObject file = files[0].toObject();
    EXPECT_EQ(file[QStringLiteral("range_m")].toDouble(), 1000.0);
    EXPECT_EQ(file[QStringLiteral("pulse_ns")].toDouble(), 100.0);
    EXPECT_EQ(file[QStringLiteral("ku")].toDouble(), 1.5);
    EXPECT_EQ(file[QStringLiteral("distance_ku")].toDouble(), 1.4286);
    EXPECT_TRUE(table.out.contains(QStringLiteral("noise %1 steps rms; launch pulse and its tail up to %2 m")
                                       .arg(file[QStringLiteral("noise_steps")].toDouble(), 0, 'f', 2)
                                       .arg(file[QStringLiteral("dead_zone_m")].toDouble(), 0, 'f', 2)))
        << table.out.toStdString();
    // Every event row of the table, rebuilt from the JSON.
    const QJsonArray list = file[QStringLiteral("events")].toArray();
    const QStringList rows =
        table.out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^\\s*\\d+ ")));
    ASSERT_EQ(list.size(), rows.size()) << table.out.toStdString();
    ASSERT_FALSE(list.isEmpty());
    int likelyEnds = 0;
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject event = list[i].toObject();
        const bool upperBound = event[QStringLiteral("db_to_launch_upper_bound")].toBool();
        const QJsonValue decibels = event[QStringLiteral("db_to_launch")];
        const QString remark = event[QStringLiteral("likely_end")].toBool() ? QStringLiteral("  <- likely end or fault")
                               : !event[QStringLiteral("repeat_of")].isNull()
                                   ? QStringLiteral("  repeat of #%1").arg(event[QStringLiteral("repeat_of")].toInt())
                               : event[QStringLiteral("major")].toBool() ? QStringLiteral("  major")
                                                                         : QString();
        const QString rebuilt = QStringLiteral("%1  %2  %3     %4  %5  %6  %7%8")
                                    .arg(event[QStringLiteral("number")].toInt(), 2)
                                    .arg(event[QStringLiteral("distance_m")].toDouble(), 11, 'f', 2)
                                    .arg(event[QStringLiteral("sign")].toString())
                                    .arg(event[QStringLiteral("impedance")].toString(), -35)
                                    .arg(event[QStringLiteral("size_steps")].toDouble(), 11, 'f', 1)
                                    .arg(event[QStringLiteral("x_noise")].toDouble(), 7, 'f', 1)
                                    .arg(decibels.isNull() ? QStringLiteral("-")
                                                           : (upperBound ? QStringLiteral("<=") : QString()) +
                                                                 QString::number(decibels.toDouble(), 'f', 1),
                                         12)
                                    .arg(remark);
        EXPECT_EQ(rebuilt, rows[i]);
        likelyEnds += event[QStringLiteral("likely_end")].toBool() ? 1 : 0;
    }
    EXPECT_EQ(file[QStringLiteral("likely_end")].isNull(), likelyEnds == 0);
}

} // namespace
