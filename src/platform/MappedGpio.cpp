#include "platform/MappedGpio.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {

bool IsPin(int pin) {
    return pin >= 0 && pin <= pins::kHighest;
}

std::uint32_t PinBit(int pin) {
    return std::uint32_t{1} << (pin % 32);
}

} // namespace

std::size_t GpioRegisterOffset(GpioRegister reg, int pin) {
    // Banks 0-2 lie side by side per register kind; bank 3 was added 0x100 further on.
    struct Offsets {
        std::size_t firstBank;
        std::size_t fourthBank;
    };
    static constexpr Offsets kOffsets[] = {
        {0x00, 0x100}, // Level
        {0x0C, 0x10C}, // Direction
        {0x18, 0x118}, // OutputSet
        {0x24, 0x124}, // OutputClear
    };
    const Offsets& offsets = kOffsets[static_cast<int>(reg)];
    const int bank = pin / 32;
    return bank < 3 ? offsets.firstBank + 4 * static_cast<std::size_t>(bank) : offsets.fourthBank;
}

std::unique_ptr<MappedGpio> MappedGpio::Open(const char* device, std::uint64_t physicalAddress) {
    const int fd = ::open(device, O_RDWR | O_SYNC | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t pageStart = physicalAddress & ~(pageSize - 1);
    void* mapping =
        ::mmap(nullptr, kMappedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(pageStart));
    ::close(fd); // the mapping keeps what it needs
    if (mapping == MAP_FAILED)
        return nullptr;
    return std::make_unique<MappedGpio>(Key{}, mapping, physicalAddress - pageStart);
}

MappedGpio::MappedGpio(Key, void* mapping, std::size_t offsetInPage)
    : mapping_(mapping), base_(static_cast<volatile std::uint8_t*>(mapping) + offsetInPage) {}

MappedGpio::~MappedGpio() {
    ::munmap(mapping_, kMappedBytes);
}

volatile std::uint32_t& MappedGpio::Register(GpioRegister reg, int pin) const {
    return *reinterpret_cast<volatile std::uint32_t*>(base_ + GpioRegisterOffset(reg, pin));
}

void MappedGpio::SetPinDirection(int pin, bool output) {
    if (!IsPin(pin))
        return;
    volatile std::uint32_t& direction = Register(GpioRegister::Direction, pin);
    if (output)
        direction = direction | PinBit(pin);
    else
        direction = direction & ~PinBit(pin);
}

void MappedGpio::SetPinLevel(int pin, bool high) {
    if (!IsPin(pin))
        return;
    // The set and clear registers act on the 1 bits only, so no read-modify-write.
    Register(high ? GpioRegister::OutputSet : GpioRegister::OutputClear, pin) = PinBit(pin);
}

bool MappedGpio::GetPinLevel(int pin) {
    if (!IsPin(pin))
        return false;
    return (Register(GpioRegister::Level, pin) & PinBit(pin)) != 0;
}

} // namespace platform
