// Controls of the emulated handheld for in-process tests and the device tool.
#pragma once

#include <iosfwd>
#include <string>

#include "clock.h"
#include "device.h"

namespace emu {

// Replaces the SKYLODE_FAULTS rules and restarts the call counts.
void SetFaults(const std::string& spec);
// Sends the trace to this file (empty: no trace), instead of SKYLODE_TRACE.
void SetTraceFile(const std::string& path);

// Selects the script display over these streams: events go to `out`, the
// user's commands come from `in` whenever the program waits for input.
void UseScriptDisplay(std::istream& in, std::ostream& out);

// The program's arguments, as GetCommandLineW gives them.
void SetCommandLine(const std::u16string& arguments);
// The device's run/ folder, made when missing.
std::string RunDir();

}  // namespace emu
