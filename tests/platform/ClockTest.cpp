#include "platform/Clock.h"

#include <gtest/gtest.h>

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
