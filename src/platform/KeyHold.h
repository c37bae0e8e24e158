#pragma once

// A held key is one key-down, its repeats and one key-up, whatever the window system
// does in between.

namespace platform {

// Asks the X server to send a held key's repeats as key-downs only, without the
// key-up it otherwise sends before each of them. On a busy machine the window system
// cannot always tell those key-ups from the real one, and the program would take a
// held key for several presses. Does nothing on other platforms (the instrument's
// evdev input sends no key-ups while a key is held); false when the server refused.
bool AskForDetectableAutoRepeat();

} // namespace platform
