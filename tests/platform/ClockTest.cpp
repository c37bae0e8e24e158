#include "platform/Clock.h"

#include "platform/Power.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Clock, SettingTheTimeMovesOnlyTheInstrumentsClock) {
    const QDateTime hostBefore = QDateTime::currentDateTime();
    const QDateTime wanted(QDate(2030, 6, 15), QTime(12, 0, 0));
    ASSERT_TRUE(platform::SetLocalTime(wanted));
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(wanted)), 1);
    EXPECT_LE(std::abs(QDateTime::currentDateTime().secsTo(hostBefore)), 5) << "the host clock is not touched";

    // The clock keeps running from the time set.
    const QDateTime later = platform::LocalNow();
    EXPECT_GE(later, wanted.addMSecs(-1000));

    ASSERT_TRUE(platform::SetLocalTime(QDateTime::currentDateTime()));
    EXPECT_LE(std::abs(platform::LocalTimeOffsetMs()), 1000);
}

TEST(Clock, OnlyOnTheInstrumentIsTheHostClockSetAndARefusalKeepsTheTimeGiven) {
    std::vector<QDateTime> hostTimes;
    bool hostAccepts = true;
    platform::SetHostClockSetter([&](const QDateTime& time) {
        hostTimes.push_back(time);
        return hostAccepts;
    });
    struct Restore {
        ~Restore() {
            platform::SetRunsOnInstrument(false);
            platform::SetHostClockSetter(nullptr);
            platform::SetLocalTime(QDateTime::currentDateTime());
        }
    } restore;
    const QDateTime wanted(QDate(2031, 7, 16), QTime(9, 30, 0));

    ASSERT_TRUE(platform::SetLocalTime(wanted));
    EXPECT_TRUE(hostTimes.empty()) << "a workstation's clock is never set";

    platform::SetRunsOnInstrument(true);
    EXPECT_TRUE(platform::SetLocalTime(wanted));
    ASSERT_EQ(hostTimes, std::vector<QDateTime>{wanted});
    EXPECT_EQ(platform::LocalTimeOffsetMs(), 0) << "the system's own time is the local time";

    hostAccepts = false; // no right to set the time
    EXPECT_FALSE(platform::SetLocalTime(wanted));
    EXPECT_EQ(hostTimes.size(), 2u);
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(wanted)), 1);
}
