// Controls of the emulated handheld for in-process tests and the device tool.
#pragma once

#include <string>

#include "clock.h"
#include "device.h"

namespace emu {

// Replaces the SKYLODE_FAULTS rules and restarts the call counts.
void SetFaults(const std::string& spec);
// Sends the trace to this file (empty: no trace), instead of SKYLODE_TRACE.
void SetTraceFile(const std::string& path);

}  // namespace emu
