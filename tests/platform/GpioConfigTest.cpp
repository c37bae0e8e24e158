// The GPIO configuration file: the original board's wiring by default, a file's overrides,
// and every fault reported with its line so that a wrong file is never half used.
#include "platform/GpioConfig.h"
#include "platform/GpiodGpio.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using platform::GpioConfig;
using platform::ParseGpioConfig;
namespace pins = platform::pins;

// The configured line of `pin`, null when the configuration does not name it.
const platform::GpioLine* Find(const GpioConfig& config, int pin) {
    for (const platform::GpioLine& line : config.lines)
        if (line.pin == pin)
            return &line;
    return nullptr;
}

QString ChipOf(const GpioConfig& config, int pin) {
    const platform::GpioLine* line = Find(config, pin);
    return line ? line->chip : QString();
}

unsigned OffsetOf(const GpioConfig& config, int pin) {
    const platform::GpioLine* line = Find(config, pin);
    return line ? line->offset : 9999;
}

TEST(GpioConfig, FileOverridesChipsAndOffsets) {
    GpioConfig config;
    QStringList errors;
    const QString text = QStringLiteral("[gpio]\n"
                                        "power_on = 12   # keeps the instrument on\n"
                                        "chip = gpio-board\n"
                                        "  clock_bus_clock=/dev/gpiochip3 4\n"
                                        "clock_bus_data = /dev/gpiochip3   5 ; open drain\r\n");
    ASSERT_TRUE(ParseGpioConfig(text, config, errors)) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ChipOf(config, pins::kPowerOn), QStringLiteral("gpio-board")) << "chip applies wherever it stands";
    EXPECT_EQ(OffsetOf(config, pins::kPowerOn), 12u);
    EXPECT_EQ(ChipOf(config, pins::kAdapterSense), QStringLiteral("gpio-board"));
    EXPECT_EQ(OffsetOf(config, pins::kAdapterSense), 48u) << "lines the file leaves out keep their offsets";
    EXPECT_EQ(ChipOf(config, pins::kClockBusClock), QStringLiteral("/dev/gpiochip3"));
    EXPECT_EQ(OffsetOf(config, pins::kClockBusClock), 4u);
    EXPECT_EQ(ChipOf(config, pins::kClockBusData), QStringLiteral("/dev/gpiochip3"));
    EXPECT_EQ(OffsetOf(config, pins::kClockBusData), 5u);

    // A file of nothing but comments and blanks is the original board's wiring.
    ASSERT_TRUE(ParseGpioConfig(QStringLiteral("# nothing but comments\n\n; and blanks\n"), config, errors));
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(ChipOf(config, pins::kPowerOn), QStringLiteral("gpiochip0"));
    EXPECT_EQ(OffsetOf(config, pins::kPowerOn), 55u);
}

TEST(GpioConfig, EveryFaultIsReportedWithItsLineAndNothingIsTaken) {
    GpioConfig config = platform::DefaultGpioConfig();
    config.lines.front().offset = 77; // to see that a failed parse leaves it alone
    QStringList errors;
    const QString text = QStringLiteral("power_on = -1\n"
                                        "adapter_sense = 4x\n"
                                        "charger_line_a\n"
                                        "backlight = 3\n"
                                        "[lines]\n"
                                        "charger_line_b = a b c\n"
                                        "chip =\n"
                                        "clock_bus_clock = 99999999999\n"
                                        "clock_bus_data =\n");
    EXPECT_FALSE(ParseGpioConfig(text, config, errors));
    ASSERT_EQ(errors.size(), 9) << errors.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < errors.size(); ++i)
        EXPECT_TRUE(errors[i].startsWith(QStringLiteral("line %1: ").arg(i + 1))) << errors[i].toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("power_on")));
    EXPECT_TRUE(errors[3].contains(QStringLiteral("backlight")));
    EXPECT_TRUE(errors[4].contains(QStringLiteral("[lines]")));
    EXPECT_EQ(config.lines.front().offset, 77u);

    errors.clear();
    EXPECT_FALSE(ParseGpioConfig(QStringLiteral("clock_bus_data = 117\n"), config, errors));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("clock_bus_clock and clock_bus_data are both line 117 of gpiochip0"));
    errors.clear();
    EXPECT_TRUE(ParseGpioConfig(QStringLiteral("clock_bus_data = gpiochip1 117\n"), config, errors))
        << "the same offset on another chip is another line";
}

TEST(GpioConfig, TheFileIsUsedOnlyWhenItIsThereReadableAndWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("gpio.conf"));
    GpioConfig config;
    QStringList errors;
    EXPECT_FALSE(platform::ReadGpioConfig(path, config, errors));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(path));

    QString why;
    EXPECT_EQ(platform::OpenConfiguredGpio(path, why), nullptr);
    EXPECT_EQ(why, path + QStringLiteral(" does not exist"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("power_on = many\n");
    file.close();
    EXPECT_EQ(platform::OpenConfiguredGpio(path, why), nullptr);
    EXPECT_TRUE(why.contains(QStringLiteral("line 1: power_on"))) << why.toStdString();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("chip = pel-test-no-such-chip\n");
    file.close();
    EXPECT_EQ(platform::OpenConfiguredGpio(path, why), nullptr);
    EXPECT_TRUE(why.startsWith(QStringLiteral("GPIO chip pel-test-no-such-chip cannot be opened")))
        << why.toStdString();
}

} // namespace
