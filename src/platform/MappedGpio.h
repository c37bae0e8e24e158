#pragma once

// The instrument processor's GPIO controller, its registers mapped from physical memory.

#include "platform/Gpio.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// The controller's register banks: 32 pins each, the fourth bank at its own offsets.
enum class GpioRegister { Level, Direction, OutputSet, OutputClear };

// Byte offset from the controller's base of the register that holds `pin`'s bit.
std::size_t GpioRegisterOffset(GpioRegister reg, int pin);

class MappedGpio final : public GpioBackend {
public:
    static constexpr std::uint64_t kControllerAddress = 0x40E00000;
    static constexpr std::size_t kMappedBytes = 8 * 1024;

    // Maps the controller's registers through `device` (the physical memory device on the
    // instrument). Null when the device cannot be opened or mapped.
    static std::unique_ptr<MappedGpio> Open(const char* device = "/dev/mem",
                                            std::uint64_t physicalAddress = kControllerAddress);
    // Only Open constructs one.
    class Key {
        friend class MappedGpio;
        Key() = default;
    };
    MappedGpio(Key, void* mapping, std::size_t offsetInPage);
    ~MappedGpio() override;

    void SetPinDirection(int pin, bool output) override;
    void SetPinLevel(int pin, bool high) override;
    bool GetPinLevel(int pin) override;

private:
    volatile std::uint32_t& Register(GpioRegister reg, int pin) const;

    void* mapping_;
    volatile std::uint8_t* base_;
};

} // namespace platform
