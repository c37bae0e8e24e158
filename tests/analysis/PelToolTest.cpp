// pel-tool's commands on files written by the program itself.
#include "tool/PelTool.h"
#include "document/PELParam.h"
#include "platform/Files.h"
#include "tool/TraceChart.h"
#include "ui/Colors.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

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

} // namespace
