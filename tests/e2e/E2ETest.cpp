// Acceptance in a real window: the program on Xvfb (xcb platform) and the simulated
// board, driven only by key events from xdotool, checked through its own screen
// copies and the files it leaves on disk.
#include "document/IniFile.h"
#include "platform/Files.h"
#include "support/Rgb.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <vector>

namespace {

int CountColour(const QImage& image, const QRect& area, QRgb colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "Xvfb and xdotool are needed for the real-window test; install them "
                            "(scripts/install-deps) to run it";
        ASSERT_TRUE(home_.isValid());
        usb_ = home_.path() + QStringLiteral("/usb/");
        ASSERT_TRUE(platform::CreateFolderPath(usb_));
        ASSERT_TRUE(platform::WriteFileAtomically(usb_ + QStringLiteral("label.txt"), "stick"));
        home_path_ = home_.path() + QStringLiteral("/home/");
        ASSERT_TRUE(platform::CreateFolderPath(home_path_));

        display_ = QStringLiteral(":%1").arg(60 + getpid() % 30);
        xvfb_.start(QStringLiteral("Xvfb"),
                    {display_, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x480x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        ASSERT_TRUE(xvfb_.waitForStarted(5000));
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display_.mid(1);
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QThread::msleep(50);
        ASSERT_TRUE(QFile::exists(socket)) << "Xvfb did not come up";

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        pel_.setProcessEnvironment(env);
        pel_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pel_.start(QStringLiteral(PEL_EXECUTABLE),
                   {QStringLiteral("--home"), home_path_, QStringLiteral("--usb"), usb_});
        ASSERT_TRUE(pel_.waitForStarted(5000));
        window_ = Xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--name"), QStringLiteral("^PEL$")})
                      .trimmed()
                      .split('\n')
                      .value(0);
        ASSERT_FALSE(window_.isEmpty()) << "the instrument's window did not appear";
        QThread::msleep(1500); // the first traces
    }

    void TearDown() override {
        if (pel_.state() != QProcess::NotRunning) {
            pel_.terminate();
            if (!pel_.waitForFinished(5000))
                pel_.kill();
            pel_.waitForFinished(2000);
        }
        if (xvfb_.state() != QProcess::NotRunning) {
            xvfb_.terminate();
            xvfb_.waitForFinished(5000);
        }
    }

    QByteArray Xdotool(const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(15000);
        return tool.readAllStandardOutput();
    }

    // One key press and release, as the keyboard sends them; then the screen settles.
    void Key(const QString& key, int settleMs = 300) {
        Xdotool({QStringLiteral("key"), QStringLiteral("--window"), window_, key});
        QThread::msleep(static_cast<unsigned long>(settleMs));
    }

    QString Save() const { return home_path_ + QStringLiteral("save/"); }

    // Enter asks for a screen copy, Enter again answers OK; the newest copy is read back.
    QImage ScreenCopy() {
        const auto before = platform::FindFiles(Save() + QStringLiteral("SCREEN *.png")).size();
        Key(QStringLiteral("Return"));
        Key(QStringLiteral("Return"), 800);
        auto copies = platform::FindFiles(Save() + QStringLiteral("SCREEN *.png"));
        if (copies.size() == before) {
            QThread::msleep(1100); // a copy within the same second keeps the name
            Key(QStringLiteral("Return"));
            Key(QStringLiteral("Return"), 800);
            copies = platform::FindFiles(Save() + QStringLiteral("SCREEN *.png"));
        }
        std::sort(copies.begin(), copies.end(),
                  [](const platform::FileInfo& a, const platform::FileInfo& b) { return a.modified < b.modified; });
        return copies.empty() ? QImage() : QImage(Save() + copies.back().name).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir home_;
    QString home_path_;
    QString usb_;
    QString display_;
    QString window_;
    QProcess xvfb_;
    QProcess pel_;
};

const QRect kPlot(5, 45, 500, 250);  // inside the chart of the measurement view
const QPoint kF6(512 + 20, 22 + 10); // a point inside the first right-hand key's frame area

} // namespace

TEST_F(RealWindow, AnOperatorMeasuresCapturesComparesAndExports) {
    // The channels menu: line 1 current (its key marked), its trace live in blue.
    QImage screen = ScreenCopy();
    ASSERT_EQ(screen.size(), QSize(640, 480));
    EXPECT_GT(CountColour(screen, kPlot, RgbOf(0xFF0000)), 50) << "line 1 in blue";
    EXPECT_EQ(screen.pixel(kF6 + QPoint(0, 20)), RgbOf(0xC80000)) << "the current trace's key";

    // "ПАРАМЕТРЫ": range, pulse, averaging, gain and velocity steps, cursor and zoom keys.
    Key(QStringLiteral("F5"));
    Key(QStringLiteral("1"), 500); // range 125 m
    Key(QStringLiteral("F7"));
    Key(QStringLiteral("1")); // pulse one step up
    Key(QStringLiteral("F9"));
    Key(QStringLiteral("1")); // averaging 2
    Key(QStringLiteral("F10"));
    Key(QStringLiteral("7")); // gain 99
    Key(QStringLiteral("F8"));
    Key(QStringLiteral("1")); // КУ 1.501
    Key(QStringLiteral("6"));
    Key(QStringLiteral("2")); // zoom in
    Key(QStringLiteral("8")); // and out
    screen = ScreenCopy();
    ASSERT_EQ(screen.size(), QSize(640, 480));
    EXPECT_GT(CountColour(screen, kPlot, RgbOf(0xFF0000)), 50);
    EXPECT_EQ(screen.pixel(kF6 + QPoint(0, 170)), RgbOf(0x808000)) << "the velocity key selected";

    // The first 'P' of the run writes the settings: every step reached the parameters.
    Key(QStringLiteral("p"));
    CIniFile state(home_path_ + QStringLiteral("pel.ini"));
    std::int32_t value = -1;
    ASSERT_TRUE(state.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].scale"), value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(state.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].pulse"), value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(state.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].average"), value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(state.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].gain"), value));
    EXPECT_EQ(value, 99);
    ASSERT_TRUE(state.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].scale.vfactor"), value));
    EXPECT_EQ(value, 1501);

    // F11: capture line 1 and name it "РЕФЛ1" as proposed.
    Key(QStringLiteral("F11"));
    Key(QStringLiteral("Return"), 4000);
    Key(QStringLiteral("Return"), 800);
    QByteArray capture;
    ASSERT_TRUE(platform::ReadWholeFile(Save() + QStringLiteral("РЕФЛ1.pel"), capture));
    EXPECT_EQ(capture.size(), 8512);
    EXPECT_FALSE(platform::FileExists(Save() + QStringLiteral("[save].pel")));

    // The library: load it into slot 2, back to the measurement screen, it shows in red.
    Key(QStringLiteral("F8"));
    Key(QStringLiteral("F5"), 800);
    screen = ScreenCopy();
    ASSERT_EQ(screen.size(), QSize(640, 480));
    EXPECT_GT(CountColour(screen, kPlot, RgbOf(0x0000FF)), 50) << "the stored trace in red";
    EXPECT_GT(CountColour(screen, kPlot, RgbOf(0xFF0000)), 50) << "beside the live line";

    // Difference on and off.
    Key(QStringLiteral("F3"), 600);
    Key(QStringLiteral("F3"), 600);

    // The settings: the auto-off interval, then the reflectogram library to the stick.
    Key(QStringLiteral("9"));
    Key(QStringLiteral("7")); // the second row: the calendar
    Key(QStringLiteral("7")); // the third: auto power-off
    Key(QStringLiteral("F1"));
    Key(QStringLiteral("7"));
    Key(QStringLiteral("Return"));   // "2 мин." taken
    Key(QStringLiteral("F6"), 1000); // export
    Key(QStringLiteral("Return"));
    const auto exports = platform::FindFiles(usb_ + QStringLiteral("Velmar/RFG *"));
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_TRUE(
        platform::FileExists(usb_ + QStringLiteral("Velmar/") + exports[0].name + QStringLiteral("/РЕФЛ1.pel")));
    Key(QStringLiteral("F5"), 500); // leave: the settings are written
    CIniFile saved(home_path_ + QStringLiteral("pel.ini"));
    ASSERT_TRUE(saved.GetInt(QStringLiteral("KS-518"), QStringLiteral("aStop"), value));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(pel_.state(), QProcess::Running) << "the program kept running throughout";
}

TEST_F(RealWindow, AHeldKeyIsOnePressHoweverBusyTheMachine) {
    // Both cores busy, as on a workstation that is compiling.
    std::vector<std::unique_ptr<QProcess>> load;
    for (int i = 0; i < 2; ++i) {
        load.push_back(std::make_unique<QProcess>());
        load.back()->start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    // A real hold through the server's keyboard (keys sent to a window directly never repeat).
    Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window_});
    Xdotool({QStringLiteral("keydown"), QStringLiteral("Return")});
    QThread::msleep(1400);
    const auto copiesWhileHeld = platform::FindFiles(Save() + QStringLiteral("SCREEN *.png")).size();
    Xdotool({QStringLiteral("keyup"), QStringLiteral("Return")});
    QThread::msleep(800);
    Key(QStringLiteral("Escape"), 800); // the question that the release opened, declined
    for (auto& process : load) {
        process->kill();
        process->waitForFinished(2000);
    }
    EXPECT_EQ(copiesWhileHeld, 0u) << "a screen copy nobody confirmed";
    EXPECT_TRUE(platform::FindFiles(Save() + QStringLiteral("SCREEN *.png")).empty());
    // The box has gone: one Enter asks again, a second one saves exactly one copy.
    EXPECT_EQ(ScreenCopy().size(), QSize(640, 480));
    EXPECT_EQ(platform::FindFiles(Save() + QStringLiteral("SCREEN *.png")).size(), 1u);
}
