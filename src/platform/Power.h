#pragma once

#include <functional>

// The keypad driver's power switch. On the instrument the request switches it off;
// on a workstation the program ends cleanly.
namespace platform {

void RequestPowerOff();
// Whether the program runs on the instrument itself; only there does it power the system
// off and set the system clock.
void SetRunsOnInstrument(bool onInstrument);
bool RunsOnInstrument();
// Tests observe the request instead of ending the program.
void SetPowerOffHandler(std::function<void()> handler);

} // namespace platform
