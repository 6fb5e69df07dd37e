// The terminal the terminal display draws on: started once, and given back
// as it was on every way out (normal end, exit(), a fatal signal).
#pragma once

#include <string>

namespace emu::tty {

// Starts the terminal library on standard input and output; false, with
// *why set, when the terminal cannot be used (an unknown terminal type, or
// one that cannot place the cursor).
bool StartTerminal(std::string* why);
// Idempotent; safe from the fatal-signal handlers.
void RestoreTerminal();

}  // namespace emu::tty
