// The character-device backend against the kernel's GPIO simulator (gpio-sim), set up
// through configfs: a simulated chip stands in for the instrument's controller, its pull
// settings for the outside world and its value files for what the lines drive. Machines
// without the simulator skip these tests and say why.
#include "platform/GpiodGpio.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

using platform::GpiodGpio;
namespace pins = platform::pins;

const QString kConfigfs = QStringLiteral("/sys/kernel/config/gpio-sim");

// Writes a configfs or sysfs attribute in one write, as the kernel expects.
bool WriteAttribute(const QString& path, const QByteArray& value, QString& error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const bool written = ::write(fd, value.constData(), static_cast<size_t>(value.size())) == value.size();
    if (!written)
        error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return written;
}

QString ReadAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

// One simulated chip with as many lines as the original controller, alive for the test.
class SimulatedChip {
public:
    static constexpr int kLines = pins::kHighest + 1;

    // Empty: the chip is there. Otherwise why it is not.
    QString Create() {
        if (!QDir(kConfigfs).exists())
            return QStringLiteral("the kernel's GPIO simulator is not available here (no %1: configfs is not "
                                  "mounted or the gpio-sim module is not loaded)")
                .arg(kConfigfs);
        device_ = kConfigfs + QStringLiteral("/pel-test-%1").arg(::getpid());
        QString error;
        if (!QDir().mkdir(device_))
            return QStringLiteral("%1 cannot be made").arg(device_);
        if (!QDir().mkdir(device_ + QStringLiteral("/bank0")))
            return QStringLiteral("%1/bank0 cannot be made").arg(device_);
        if (!WriteAttribute(device_ + QStringLiteral("/bank0/num_lines"), QByteArray::number(kLines), error) ||
            !WriteAttribute(device_ + QStringLiteral("/bank0/label"), "pel-test-chip", error) ||
            !WriteAttribute(device_ + QStringLiteral("/live"), "1", error))
            return error;
        live_ = true;
        chipName_ = ReadAttribute(device_ + QStringLiteral("/bank0/chip_name"));
        const QString deviceName = ReadAttribute(device_ + QStringLiteral("/dev_name"));
        lines_ = QStringLiteral("/sys/devices/platform/%1/%2").arg(deviceName, chipName_);
        if (chipName_.isEmpty() || !QFile::exists(QStringLiteral("/dev/") + chipName_))
            return QStringLiteral("the simulated chip has no device file (/dev/%1)").arg(chipName_);
        return QString();
    }

    ~SimulatedChip() {
        QString ignored;
        if (live_)
            WriteAttribute(device_ + QStringLiteral("/live"), "0", ignored);
        if (!device_.isEmpty()) {
            QDir().rmdir(device_ + QStringLiteral("/bank0"));
            QDir().rmdir(device_);
        }
    }

    const QString& ChipName() const { return chipName_; }

    // What the outside world applies to an input line.
    void Pull(int offset, bool up) const {
        QString error;
        EXPECT_TRUE(WriteAttribute(LineFile(offset, "pull"), up ? "pull-up" : "pull-down", error))
            << error.toStdString();
    }
    // The line's level as the simulator sees it: driven by an output, else its pull.
    QString Level(int offset) const { return ReadAttribute(LineFile(offset, "value")); }

private:
    QString LineFile(int offset, const char* attribute) const {
        return QStringLiteral("%1/sim_gpio%2/%3").arg(lines_).arg(offset).arg(QLatin1String(attribute));
    }

    QString device_;
    QString chipName_;
    QString lines_;
    bool live_ = false;
};

class GpiodGpioOnSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const QString why = chip_.Create();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        config_ = platform::DefaultGpioConfig();
        for (platform::GpioLine& line : config_.lines)
            line.chip = chip_.ChipName();
        QString error;
        gpio_ = GpiodGpio::Open(config_, error);
        ASSERT_NE(gpio_, nullptr) << error.toStdString();
    }

    SimulatedChip chip_;
    platform::GpioConfig config_;
    std::unique_ptr<GpiodGpio> gpio_;
};

TEST_F(GpiodGpioOnSimulator, InputsReadWhatTheOutsideWorldApplies) {
    chip_.Pull(pins::kAdapterSense, true);
    chip_.Pull(pins::kChargerLineA, false);
    chip_.Pull(pins::kChargerLineB, true);
    EXPECT_TRUE(gpio_->GetPinLevel(pins::kAdapterSense));
    EXPECT_FALSE(gpio_->GetPinLevel(pins::kChargerLineA));
    EXPECT_TRUE(gpio_->GetPinLevel(pins::kChargerLineB));
    chip_.Pull(pins::kAdapterSense, false); // an adapter plugged in
    EXPECT_FALSE(gpio_->GetPinLevel(pins::kAdapterSense));

    EXPECT_FALSE(gpio_->GetPinLevel(7)) << "a pin the configuration does not name reads low";
    gpio_->SetPinDirection(7, true); // and is left alone
    gpio_->SetPinLevel(7, true);
    EXPECT_EQ(chip_.Level(7), QStringLiteral("0"));
}

TEST_F(GpiodGpioOnSimulator, OutputsDriveTheirLatchAndAReleasedBusLineFollowsItsPull) {
    gpio_->SetPinLevel(pins::kPowerOn, true); // latched while still an input
    EXPECT_EQ(chip_.Level(pins::kPowerOn), QStringLiteral("0"));
    gpio_->SetPinDirection(pins::kPowerOn, true);
    EXPECT_EQ(chip_.Level(pins::kPowerOn), QStringLiteral("1"));
    EXPECT_TRUE(gpio_->GetPinLevel(pins::kPowerOn));
    gpio_->SetPinLevel(pins::kPowerOn, false);
    EXPECT_EQ(chip_.Level(pins::kPowerOn), QStringLiteral("0"));

    // The clock chip's data line is driven low or released to its pull-up, bit by bit.
    chip_.Pull(pins::kClockBusData, true);
    gpio_->SetPinLevel(pins::kClockBusData, false);
    gpio_->SetPinDirection(pins::kClockBusData, true);
    EXPECT_FALSE(gpio_->GetPinLevel(pins::kClockBusData));
    EXPECT_EQ(chip_.Level(pins::kClockBusData), QStringLiteral("0"));
    gpio_->SetPinDirection(pins::kClockBusData, false);
    EXPECT_TRUE(gpio_->GetPinLevel(pins::kClockBusData));
    EXPECT_EQ(chip_.Level(pins::kClockBusData), QStringLiteral("1"));
}

TEST_F(GpiodGpioOnSimulator, LinesAreHeldUntilTheBackendGoesAndTheFileFindsTheChip) {
    QString error;
    EXPECT_EQ(GpiodGpio::Open(config_, error), nullptr) << "another program must not share the lines";
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be requested"))) << error.toStdString();
    gpio_.reset();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("gpio.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // By the chip's label, and one line moved.
    file.write("chip = pel-test-chip\npower_on = 3\n");
    file.close();
    const auto configured = platform::OpenConfiguredGpio(path, error);
    ASSERT_NE(configured, nullptr) << error.toStdString();
    configured->SetPinLevel(pins::kPowerOn, true);
    configured->SetPinDirection(pins::kPowerOn, true);
    EXPECT_EQ(chip_.Level(3), QStringLiteral("1"));
    EXPECT_EQ(chip_.Level(pins::kPowerOn), QStringLiteral("0"));
}

} // namespace
