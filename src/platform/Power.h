#pragma once

#include <functional>

// The keypad driver's power switch. On the instrument the request switches it off;
// on a workstation the program ends cleanly.
namespace platform {

// Asks for the power-off. True when it was accepted: the program then ends once the
// current handler has returned (on the instrument the system goes down with it). False
// when the system refused it (no right to power off, no command): the program must keep
// running, or the instrument would stay on with a dead screen.
bool RequestPowerOff();
// Whether the program runs on the instrument itself; only there does it power the system
// off and set the system clock.
void SetRunsOnInstrument(bool onInstrument);
bool RunsOnInstrument();
// Tests observe the request, and decide whether it is accepted, instead of ending the
// program.
void SetPowerOffHandler(std::function<bool()> handler);

} // namespace platform
