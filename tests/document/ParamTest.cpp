#include "document/PELParam.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Restores the process-wide velocity display mode after each test.
class Params : public ::testing::Test {
protected:
    void TearDown() override { SetVelocityDisplayMode(0); }
};

} // namespace

TEST_F(Params, ValueParametersRefuseOutOfTableValues) {
    CDOCPulse pulse;
    EXPECT_TRUE(pulse.SetIndex(11));
    EXPECT_EQ(pulse.GetStr(), QStringLiteral("50 мкс"));
    EXPECT_EQ(pulse.GetWidthNs(), 50000);
    EXPECT_FALSE(pulse.SetIndex(12));
    EXPECT_FALSE(pulse.SetIndex(-1));
    EXPECT_EQ(pulse.GetIndex(), 11);

    CDOCGain gain;
    EXPECT_TRUE(gain.SetIndex(255));
    EXPECT_FALSE(gain.SetIndex(256));
    EXPECT_FALSE(gain.SetIndex(-1));
    EXPECT_EQ(gain.GetStr(), QStringLiteral("255 ед."));

    CDOCShift shift;
    EXPECT_TRUE(shift.SetIndex(-200));
    EXPECT_FALSE(shift.SetIndex(-201));
    EXPECT_FALSE(shift.SetIndex(201));
    EXPECT_EQ(shift.GetStr(), QStringLiteral("-200"));

    CDOCAverage average;
    EXPECT_TRUE(average.SetIndex(7));
    EXPECT_FALSE(average.SetIndex(8));
    EXPECT_EQ(average.GetCount(), 128);
    EXPECT_EQ(average.GetStr(), QStringLiteral("128"));
    EXPECT_EQ(average.GetCaption(), QStringLiteral("\nОсреднение\n\n128"));

    CDOCMatching matching;
    EXPECT_EQ(matching.GetIndex(), 30);
    EXPECT_TRUE(matching.SetIndex(7)); // below its nominal minimum: still stored
    EXPECT_EQ(matching.GetStr(), QStringLiteral("7"));
}

TEST_F(Params, SpeedAutoStopAndAdapterWrapAround) {
    CDOCSpeed speed;
    EXPECT_TRUE(speed.SetIndex(5));
    EXPECT_EQ(speed.GetIndex(), 0);
    EXPECT_EQ(speed.GetStr(), QStringLiteral("КУ"));
    EXPECT_TRUE(speed.SetIndex(-3));
    EXPECT_EQ(speed.GetIndex(), 1);
    EXPECT_EQ(VelocityDisplayMode(), 1);
    EXPECT_EQ(speed.GetStr(), QStringLiteral("V/2"));

    CDOCAutoStop autoStop;
    EXPECT_EQ(autoStop.GetStr(), QStringLiteral("Выкл"));
    EXPECT_TRUE(autoStop.SetIndex(-1));
    EXPECT_EQ(autoStop.GetStr(), QStringLiteral("64 мин."));
    EXPECT_EQ(autoStop.GetMinutes(), 64);
    EXPECT_TRUE(autoStop.SetIndex(6));
    EXPECT_EQ(autoStop.GetStr(), QStringLiteral("Выкл"));
    EXPECT_TRUE(autoStop.SetIndex(4));
    EXPECT_EQ(autoStop.GetMinutes(), 32); // no 16-minute step

    CDOCAdapter adapter;
    EXPECT_TRUE(adapter.SetIndex(2));
    EXPECT_EQ(adapter.GetIndex(), 0);
    EXPECT_TRUE(adapter.SetIndex(-1));
    EXPECT_EQ(adapter.GetStr(), QStringLiteral("PSU40A-3 12V, 3.33A"));
}

TEST_F(Params, VelocityFactorClampsInBothModes) {
    CVFactor v;
    EXPECT_TRUE(v.SetKU(0.5));
    EXPECT_DOUBLE_EQ(v.GetKU(), 1.0);
    EXPECT_DOUBLE_EQ(v.GetV2(), 150.0);
    EXPECT_FALSE(v.SetKU(0.2)); // clamps to the same value: unchanged
    EXPECT_TRUE(v.SetKU(4.0));
    EXPECT_DOUBLE_EQ(v.GetKU(), 3.0);
    EXPECT_EQ(v.GetStr(), QStringLiteral("3.000 "));

    SetVelocityDisplayMode(1);
    EXPECT_TRUE(v.SetValue(200.0));
    EXPECT_DOUBLE_EQ(v.GetV2(), 150.0);
    EXPECT_DOUBLE_EQ(v.GetKU(), 1.0);
    EXPECT_TRUE(v.SetValue(20.0));
    EXPECT_DOUBLE_EQ(v.GetV2(), 50.0);
    EXPECT_DOUBLE_EQ(v.GetKU(), 3.0);
    EXPECT_TRUE(v.SetValue(100.0));
    EXPECT_DOUBLE_EQ(v.GetKU(), 1.5);
    EXPECT_EQ(v.GetStr(), QStringLiteral("100.0"));
    EXPECT_DOUBLE_EQ(v.GetValue(), 100.0);
}

TEST_F(Params, VelocityFactorRefusesWhatIsNotANumber) {
    const double refused[] = {std::nan(""), HUGE_VAL, -HUGE_VAL};
    for (const int mode : {0, 1}) {
        SetVelocityDisplayMode(mode);
        CVFactor v;
        ASSERT_TRUE(v.SetKU(2.0));
        for (const double value : refused) {
            EXPECT_FALSE(v.SetKU(value)) << mode << " " << value;
            EXPECT_FALSE(v.SetValue(value)) << mode << " " << value;
            EXPECT_EQ(v.GetKU(), 2.0);
            EXPECT_EQ(v.GetV2(), 75.0);
        }
    }
}

TEST_F(Params, VelocityHelpersFollowTheMode) {
    double x = 1.5;
    ConvertVelocityForMode(x);
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_EQ(FormatVelocity(1.5), QStringLiteral("1.500 "));
    EXPECT_EQ(VelocityModeLabel(), QStringLiteral("КУ"));
    EXPECT_DOUBLE_EQ(VelocityEditStep(), 0.001);

    SetVelocityDisplayMode(1);
    ConvertVelocityForMode(x);
    EXPECT_DOUBLE_EQ(x, 100.0);
    ConvertVelocityForMode(x); // the same formula converts back
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_EQ(FormatVelocity(66.666), QStringLiteral("66.7"));
    EXPECT_EQ(VelocityModeLabel(), QStringLiteral("V/2"));
    EXPECT_DOUBLE_EQ(VelocityMinimum(), 50.0);
    EXPECT_DOUBLE_EQ(VelocityMaximum(), 150.0);
}

TEST_F(Params, NamesByIndex) {
    EXPECT_EQ(PulseName(0), QStringLiteral("10 нс"));
    EXPECT_EQ(PulseName(6), QStringLiteral("1 мкс"));
    EXPECT_EQ(PulseName(12), QString());
    EXPECT_EQ(PulseName(-1), QString());
    EXPECT_EQ(RangeText(0), QStringLiteral("62.5 м"));
    EXPECT_EQ(RangeText(1), QStringLiteral("125.0 м"));
    EXPECT_EQ(RangeText(10), QStringLiteral("64000.0 м"));
    EXPECT_EQ(RangeText(11), QString());
}

TEST_F(Params, StoredVelocityFactorTruncates) {
    EXPECT_EQ(StoredKU(1.5), 1500);
    EXPECT_EQ(StoredKU(1.4999), 1499);
    EXPECT_EQ(StoredKU(1.2345), 1234);
    // Every value a file can hold survives being read and stored again.
    for (int stored = 1000; stored <= 3000; ++stored)
        ASSERT_EQ(StoredKU(stored / 1000.0), stored);
}

TEST_F(Params, ParameterLine) {
    CChannel channel;
    ASSERT_TRUE(channel.scale.SetIndex(4));
    ASSERT_TRUE(channel.pulse.SetIndex(3));
    ASSERT_TRUE(channel.average.SetIndex(4));
    ASSERT_TRUE(channel.gain.SetIndex(100));
    SetVelocityDisplayMode(1);
    EXPECT_EQ(channel.GetParamLine(),
              QStringLiteral("Масш. 1000 м   Имп. 100 нс   V/2 100.0   Оср. 16   Усл. 100 ед.   "
                             "Согл. 30   Смещ. 0"));
    SetVelocityDisplayMode(0);
    EXPECT_EQ(channel.GetParamLine(),
              QStringLiteral("Масш. 1000 м   Имп. 100 нс   КУ 1.500    Оср. 16   Усл. 100 ед.   "
                             "Согл. 30   Смещ. 0"));
}

TEST_F(Params, CopyParamsTakesTheSettingsButNotTheSlot) {
    CChannel source;
    source.number = 2;
    source.state = 254;
    ASSERT_TRUE(source.scale.SetIndex(6));
    ASSERT_TRUE(source.scale.SetZoom(4));
    ASSERT_TRUE(source.scale.SetShiftSamples(1600));
    source.scale.vfactor.SetKU(2.0);
    ASSERT_TRUE(source.pulse.SetIndex(5));
    ASSERT_TRUE(source.gain.SetIndex(42));
    ASSERT_TRUE(source.average.SetIndex(3));
    ASSERT_TRUE(source.scale.SetCursorPx(0, 10));
    ASSERT_TRUE(source.scale.SetCursorPx(1, 300));
    source.scale._activeCursorIndex = 0;
    ASSERT_TRUE(source.shift.SetIndex(-50));
    ASSERT_TRUE(source.matching.SetIndex(77));
    source.scale.samples[7999] = 9;
    source.scale.points[499] = 8;

    CChannel copy;
    copy.CopyParams(source, false);
    EXPECT_EQ(copy.scale.GetIndex(), 6);
    EXPECT_EQ(copy.scale.GetZoom(), 4);
    EXPECT_EQ(copy.scale.GetShift(), 1600);
    EXPECT_DOUBLE_EQ(copy.scale.vfactor.GetKU(), 2.0);
    EXPECT_EQ(copy.pulse.GetIndex(), 5);
    EXPECT_EQ(copy.gain.GetIndex(), 42);
    EXPECT_EQ(copy.average.GetIndex(), 3);
    EXPECT_EQ(copy.scale.GetCursorSamples(0), source.scale.GetCursorSamples(0));
    EXPECT_EQ(copy.scale.GetCursorSamples(1), source.scale.GetCursorSamples(1));
    EXPECT_EQ(copy.scale._activeCursorIndex, 0);
    EXPECT_FALSE(copy.scale.GetTickLabels().isEmpty());
    EXPECT_EQ(copy.shift.GetIndex(), 0);
    EXPECT_EQ(copy.matching.GetIndex(), 30);
    EXPECT_EQ(copy.state, 1);
    EXPECT_EQ(copy.number, 0);
    EXPECT_EQ(copy.scale.samples[7999], 0);

    copy.CopyParams(source, true);
    EXPECT_EQ(copy.scale.samples[7999], 9);
    EXPECT_EQ(copy.scale.points[499], 8);
}

TEST_F(Params, TextEntrySetting) {
    CTextEntrySetting entry;
    EXPECT_EQ(entry.GetLanguageName(), QStringLiteral("Русский"));
    EXPECT_EQ(entry.GetModeName(), QStringLiteral("А Б В ..."));
    EXPECT_EQ(entry.ToggleLanguage(), QStringLiteral("English"));
    EXPECT_EQ(entry.GetModeName(), QStringLiteral("A B C ..."));
    EXPECT_EQ(entry.CycleMode(), QStringLiteral("1 2 3 ..."));
    EXPECT_EQ(entry.CycleMode(), QStringLiteral("A B C ..."));
    EXPECT_EQ(entry.ToggleLanguage(), QStringLiteral("Русский"));
}

TEST_F(Params, DateTimeTextAndTheInstrumentClock) {
    CDOCDateTime clock;
    clock.SetTime(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 2)));
    EXPECT_EQ(clock.GetStr(), QStringLiteral("07.03.2026 09:05:02"));

    // The clock reads the instrument's time, which may differ from the host's.
    const QDateTime future(QDate(2031, 1, 2), QTime(3, 4, 5));
    ASSERT_TRUE(platform::SetLocalTime(future));
    clock.SetCurrent();
    EXPECT_LE(std::abs(clock.GetTime().secsTo(future)), 2);
    CDOCDateTime created;
    EXPECT_LE(std::abs(created.GetTime().secsTo(future)), 2);
    ASSERT_TRUE(platform::SetLocalTime(QDateTime::currentDateTime()));
    EXPECT_LE(std::abs(platform::LocalTimeOffsetMs()), 1000);

    EXPECT_TRUE(clock.SetIndex(86400));
    EXPECT_EQ(clock.GetIndex(), 86400);
}

TEST_F(Params, FileNamePrefixIgnoresIndexes) {
    CDOCFileName name;
    EXPECT_EQ(name.GetStr(), QStringLiteral("РЕФЛ"));
    EXPECT_TRUE(name.SetIndex(5));
    EXPECT_EQ(name.GetStr(), QStringLiteral("РЕФЛ"));
    name.SetName(QStringLiteral("КАБЕЛЬ"));
    EXPECT_EQ(name.GetStr(), QStringLiteral("КАБЕЛЬ"));
    EXPECT_EQ(name.GetIndex(), 6);
}
