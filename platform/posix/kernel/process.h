// The program's process as the emulated handheld starts it.
#pragma once

#include <string>

namespace emu {

// The program's arguments, as GetCommandLineW gives them.
void SetCommandLine(const std::u16string& arguments);

}  // namespace emu
