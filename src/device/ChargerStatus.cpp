#include "device/ChargerStatus.h"

namespace charger {

std::uint32_t StatusOf(const Lines& lines, std::int32_t& adapterHistory) {
    std::int32_t history = lines.adapterSense ? kAbsent : kSteadilyPresent;
    std::uint32_t flags = lines.adapterSense ? AC_UNPLUGGED : AC_PLUGGED;
    // Just plugged in: the history counts the polls since, and a pull within them is a
    // loose contact while plugging, not the operator pulling the adapter.
    if (history == kSteadilyPresent && adapterHistory != kSteadilyPresent) {
        const std::int32_t counted = adapterHistory + 1;
        if (counted < kSettledHistory) {
            flags |= AC_WAS_PLUGGED;
            history = counted;
        }
    }
    if (history != kSteadilyPresent && adapterHistory == kSteadilyPresent)
        flags |= AC_WAS_UNPLUGGED;

    if (!lines.lineB && lines.lineA)
        flags |= CHARGE_IN_PROGRESS;
    else if (lines.lineB && !lines.lineA)
        flags |= CHARGE_COMPLETE;
    else if (lines.lineB && lines.lineA)
        flags |= CHARGE_ERROR;

    adapterHistory = history;
    return flags;
}

} // namespace charger
