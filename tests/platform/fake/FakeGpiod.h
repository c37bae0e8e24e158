#pragma once

// A stand-in for libgpiod's line calls, for testing the character-device backend on
// machines without GPIO chips or the kernel's GPIO simulator. Chips are made by the test;
// each line has a direction, the level it drives, the level the outside world applies to
// it, and whether a program holds it.

#include <string>

namespace fakegpiod {

struct LineState {
    bool held = false;
    bool output = false;
    int driven = 0;  // while an output
    int outside = 0; // what an input reads
    int requests = 0;
    int inPlaceChanges = 0; // direction changes without a new request
};

// Forgets every chip (and every line's state).
void Reset();
void AddChip(const std::string& name, unsigned lines);
// A line of a chip made by AddChip; the test sets and reads its state.
LineState& Line(const std::string& chip, unsigned offset);
// An older kernel: changing a held line's direction fails, only a new request changes it.
void RefuseDirectionChanges(bool refuse);
// Requests fail from now on (another program took the lines).
void RefuseRequests(bool refuse);

} // namespace fakegpiod
