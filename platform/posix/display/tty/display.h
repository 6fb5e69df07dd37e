// The terminal display: the handheld's screen drawn in a terminal, with keys
// and mouse taps.
#pragma once

#include <memory>

#include "user/display.h"

namespace emu {

// Null when the terminal cannot be used.
std::unique_ptr<Display> MakeTerminalDisplay();

}  // namespace emu
