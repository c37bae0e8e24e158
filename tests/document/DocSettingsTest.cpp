#include "document/DocSettings.h"

#include "document/IniFile.h"
#include "platform/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The members of the document that the state file keeps.
struct State {
    std::array<CChannel, kSlotCount> ch;
    std::uint8_t viewMode = 1;
    std::uint8_t bpMode = 1;
    CDOCSpeed speed;
    CDOCAutoStop autoStop;
    CDOCAdapter adapter;
    CDOCFileName fileName;

    DocumentSettings Bind() { return DocumentSettings{ch, viewMode, bpMode, speed, autoStop, adapter, fileName}; }
};

class Settings : public ::testing::Test {
protected:
    void TearDown() override { SetVelocityDisplayMode(0); }

    static QString Value(const CIniFile& ini, const char* key) {
        QString text = QStringLiteral("<missing>");
        ini.GetString(QStringLiteral("KS-518"), QString::fromLatin1(key), text);
        return text;
    }
};

void Measure(State& state) {
    CChannel& line = state.ch[0];
    line.state = 254;
    state.ch[1].state = 254;
    ASSERT_TRUE(line.scale.SetIndex(6));
    ASSERT_TRUE(line.scale.SetZoom(5));
    ASSERT_TRUE(line.pulse.SetIndex(5));
    line.scale.vfactor.SetKU(1.2345);
    ASSERT_TRUE(line.gain.SetIndex(77));
    ASSERT_TRUE(line.scale.SetCursorPx(0, 12));
    ASSERT_TRUE(line.scale.SetCursorPx(1, 345));
    line.scale._activeCursorIndex = 0;
    ASSERT_TRUE(line.average.SetIndex(6));
    ASSERT_TRUE(state.ch[0].shift.SetIndex(-200));
    ASSERT_TRUE(state.ch[4].shift.SetIndex(200));
    state.viewMode = 254;
    state.bpMode = 254;
    state.speed.SetIndex(1);
    state.autoStop.SetIndex(3);
    state.adapter.SetIndex(1);
    state.fileName.SetName(QStringLiteral("МУФТА"));
}

} // namespace

TEST_F(Settings, SavesEveryKeyInItsForm) {
    State state;
    Measure(state);
    CIniFile ini;
    EXPECT_TRUE(SaveSettings(ini, state.Bind()));

    EXPECT_EQ(Value(ini, "ch[0].state"), QStringLiteral("254"));
    EXPECT_EQ(Value(ini, "ch[0].shift"), QStringLiteral("800"));
    EXPECT_EQ(Value(ini, "ch[2].shift"), QStringLiteral("1000"));
    EXPECT_EQ(Value(ini, "ch[4].shift"), QStringLiteral("1200"));
    EXPECT_EQ(Value(ini, "ch[0].scale"), QStringLiteral("6"));
    EXPECT_EQ(Value(ini, "ch[0].scale.vfactor"), QStringLiteral("1234"));
    EXPECT_EQ(Value(ini, "ch[0].scale.GetCursorPx(1)"), QStringLiteral("345"));
    EXPECT_EQ(Value(ini, "ch[0].scale._activeCursorIndex"), QStringLiteral("0"));
    EXPECT_EQ(Value(ini, "view_mode"), QStringLiteral("254"));
    EXPECT_EQ(Value(ini, "speed"), QStringLiteral("1"));
    EXPECT_EQ(Value(ini, "nFile"), QStringLiteral("МУФТА"));

    QTemporaryDir temp;
    ASSERT_TRUE(ini.Save(temp.path() + QStringLiteral("/pel.ini")));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(temp.path() + QStringLiteral("/pel.ini"), bytes));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    const char* order[] = {"ch[0].state",
                           "ch[1].state",
                           "ch[0].shift",
                           "ch[1].shift",
                           "ch[2].shift",
                           "ch[3].shift",
                           "ch[4].shift",
                           "ch[0].scale=",
                           "ch[0].pulse",
                           "ch[0].scale.vfactor",
                           "ch[0].gain",
                           "ch[0].scale.GetCursorPx(0)",
                           "ch[0].scale.GetCursorPx(1)",
                           "ch[0].scale._activeCursorIndex",
                           "ch[0].average",
                           "view_mode",
                           "bp_mode",
                           "speed",
                           "aStop",
                           "adapter",
                           "nFile"};
    qsizetype previous = -1;
    for (const char* key : order) {
        const qsizetype at = text.indexOf(QLatin1String("\r\n") + QString::fromLatin1(key));
        EXPECT_GT(at, previous) << key;
        previous = at;
    }
}

TEST_F(Settings, LoadsWhatItSaved) {
    State saved;
    Measure(saved);
    CIniFile ini;
    SaveSettings(ini, saved.Bind());
    SetVelocityDisplayMode(0);

    State loaded;
    ASSERT_TRUE(LoadSettings(ini, loaded.Bind()));
    const CDOCScale& scale = loaded.ch[0].scale;
    EXPECT_EQ(loaded.ch[0].state, 254);
    EXPECT_EQ(loaded.ch[1].state, 254);
    EXPECT_EQ(loaded.ch[0].shift.GetIndex(), -200);
    EXPECT_EQ(loaded.ch[4].shift.GetIndex(), 200);
    EXPECT_EQ(scale.GetIndex(), 6);
    EXPECT_EQ(loaded.ch[0].pulse.GetIndex(), 5);
    EXPECT_DOUBLE_EQ(scale.vfactor.GetKU(), 1.234);
    EXPECT_EQ(loaded.ch[0].gain.GetIndex(), 77);
    // Cursors come back as columns of the whole range.
    EXPECT_EQ(scale.GetCursorPx(0), 12);
    EXPECT_EQ(scale.GetCursorPx(1), 345);
    EXPECT_EQ(scale._activeCursorIndex, 0);
    EXPECT_EQ(loaded.ch[0].average.GetIndex(), 6);
    EXPECT_EQ(loaded.viewMode, 254);
    EXPECT_EQ(loaded.bpMode, 254);
    EXPECT_EQ(VelocityDisplayMode(), 1);
    EXPECT_EQ(loaded.autoStop.GetIndex(), 3);
    EXPECT_EQ(loaded.adapter.GetIndex(), 1);
    EXPECT_EQ(loaded.fileName.GetStr(), QStringLiteral("МУФТА"));
}

TEST_F(Settings, LoadingStopsAtTheFirstMissingKey) {
    CIniFile ini;
    ini.Parse(QStringLiteral("[KS-518]\n"
                             "ch[0].state=0\nch[1].state=254\n"
                             "ch[0].shift=1100\nch[1].shift=1000\nch[2].shift=1000\nch[3].shift=1000\n"
                             "ch[4].shift=1000\n"
                             "ch[0].scale=3\nch[0].pulse=4\n"
                             // vfactor missing: nothing after it is read
                             "ch[0].gain=9\nspeed=1\nnFile=ДРУГОЕ\n"));
    State state;
    EXPECT_FALSE(LoadSettings(ini, state.Bind()));
    EXPECT_EQ(state.ch[0].state, 1) << "a stored 0 comes back as 1";
    EXPECT_EQ(state.ch[1].state, 254);
    EXPECT_EQ(state.ch[0].shift.GetIndex(), 100);
    EXPECT_EQ(state.ch[0].scale.GetIndex(), 3);
    EXPECT_EQ(state.ch[0].pulse.GetIndex(), 4);
    EXPECT_EQ(state.ch[0].gain.GetIndex(), 0);
    EXPECT_EQ(VelocityDisplayMode(), 0);
    EXPECT_EQ(state.fileName.GetStr(), QStringLiteral("РЕФЛ"));
}

TEST_F(Settings, UnsafeValuesAreNotTaken) {
    State saved;
    CIniFile ini;
    SaveSettings(ini, saved.Bind());
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[0].scale._activeCursorIndex"), QStringLiteral("7"));
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[0].scale"), QStringLiteral("99"));
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[0].state"), QStringLiteral("17"));
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[0].scale.vfactor"), QStringLiteral("junk"));
    // Beyond 32 bits: the stored offset must not overflow (UBSan checks the arithmetic).
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[0].shift"), QStringLiteral("-99999999999"));
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[1].shift"), QStringLiteral("99999999999"));
    ini.SetString(QStringLiteral("KS-518"), QStringLiteral("ch[2].shift"), QStringLiteral("801"));

    State loaded;
    ASSERT_TRUE(LoadSettings(ini, loaded.Bind()));
    EXPECT_EQ(loaded.ch[0].scale._activeCursorIndex, 1);
    EXPECT_EQ(loaded.ch[0].scale.GetIndex(), 0);
    EXPECT_EQ(loaded.ch[0].state, 1);
    EXPECT_DOUBLE_EQ(loaded.ch[0].scale.vfactor.GetKU(), 1.0) << "0 clamps to the lowest КУ";
    EXPECT_EQ(loaded.ch[0].shift.GetIndex(), 0);
    EXPECT_EQ(loaded.ch[1].shift.GetIndex(), 0);
    EXPECT_EQ(loaded.ch[2].shift.GetIndex(), -199);
}
