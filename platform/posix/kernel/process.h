// The program's process as the emulated handheld starts it.
#pragma once

#include <string>

namespace emu {

// The program's arguments, as GetCommandLineW gives them.
void SetCommandLine(const std::u16string& arguments);

// The program's name for messages to the person at the host: its
// executable's file name ("Skylode").
std::string ProgramName();

// Whether the process `pid` runs the same executable as this one.
bool RunsThisProgram(unsigned long pid);

}  // namespace emu
