// The terminal the terminal display draws on: started once, and given back
// as it was on every way out (normal end, exit(), a fatal signal).
#pragma once

namespace emu::tty {

// Starts the terminal library on standard input and output; false when the
// terminal cannot be used (an unknown terminal type, for instance).
bool StartTerminal();
// Idempotent; safe from the fatal-signal handlers.
void RestoreTerminal();

}  // namespace emu::tty
