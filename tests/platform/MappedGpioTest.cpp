// The controller's register layout, checked on an ordinary file standing in for the
// physical memory device.
#include "platform/MappedGpio.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using platform::GpioRegister;
using platform::GpioRegisterOffset;
using platform::MappedGpio;

TEST(MappedGpio, RegisterOffsetsFollowTheBanks) {
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Level, 0), 0x00u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Level, 48), 0x04u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Level, 95), 0x08u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Level, 118), 0x100u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Direction, 31), 0x0Cu);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Direction, 55), 0x10u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Direction, 64), 0x14u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::Direction, 96), 0x10Cu);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::OutputSet, 55), 0x1Cu);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::OutputSet, 117), 0x118u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::OutputClear, 10), 0x24u);
    EXPECT_EQ(GpioRegisterOffset(GpioRegister::OutputClear, 120), 0x124u);
}

class MappedGpioOnFile : public ::testing::Test {
protected:
    static constexpr std::uint64_t kBase = 0x2000; // page-aligned, like the controller

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(static_cast<qint64>(kBase + MappedGpio::kMappedBytes)));
    }
    QString Path() const { return dir_.filePath(QStringLiteral("memory")); }
    std::uint32_t Word(std::size_t offset) const {
        QFile file(Path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.seek(static_cast<qint64>(kBase + offset)));
        std::uint32_t value = 0;
        const QByteArray bytes = file.read(sizeof value);
        std::memcpy(&value, bytes.constData(), std::min<std::size_t>(sizeof value, bytes.size()));
        return value;
    }
    void PutWord(std::size_t offset, std::uint32_t value) const {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(static_cast<qint64>(kBase + offset)));
        ASSERT_EQ(file.write(reinterpret_cast<const char*>(&value), sizeof value), 4);
    }

    QTemporaryDir dir_;
};

TEST_F(MappedGpioOnFile, OperationsTouchOnlyTheirPinsBits) {
    PutWord(0x10, 0x00000001);        // pin 32 already an output
    PutWord(0x100, 1u << (118 % 32)); // pin 118 reads high
    {
        const auto gpio = MappedGpio::Open(Path().toLocal8Bit().constData(), kBase);
        ASSERT_NE(gpio, nullptr);
        gpio->SetPinDirection(55, true);
        gpio->SetPinLevel(117, true);
        gpio->SetPinLevel(48, false);
        EXPECT_TRUE(gpio->GetPinLevel(118));
        EXPECT_FALSE(gpio->GetPinLevel(117)) << "the set register is not the level register";
        gpio->SetPinDirection(121, true); // ignored
    }
    EXPECT_EQ(Word(0x10), 0x00000001u | 1u << (55 % 32)) << "read-modify-write keeps pin 32";
    EXPECT_EQ(Word(0x118), 1u << (117 % 32));
    EXPECT_EQ(Word(0x28), 1u << (48 % 32));
    EXPECT_EQ(Word(0x10C), 0u);

    const auto gpio = MappedGpio::Open(Path().toLocal8Bit().constData(), kBase);
    ASSERT_NE(gpio, nullptr);
    gpio->SetPinDirection(32, false);
    EXPECT_EQ(Word(0x10), 1u << (55 % 32));
}

TEST(MappedGpio, AMissingDeviceGivesNoPins) {
    EXPECT_EQ(MappedGpio::Open("/nonexistent/memory-device"), nullptr);
}

} // namespace
