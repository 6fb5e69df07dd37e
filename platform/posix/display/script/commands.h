// The script display's commands for the user's actions, and why one cannot
// be done at the moment.
#pragma once

#include <string>
#include <vector>

namespace emu {

// Performs a command line (click, type, select, ok, cancel, yes, no).
// Returns "" when done, else why not, e.g. "the list has 5 entries".
std::string PerformCommand(const std::string& line);

// Every command of the protocol with what it does, a line each.
const std::vector<std::string>& CommandHelp();

}  // namespace emu
