// The terminal display: the handheld's screen drawn in a terminal, with keys
// and mouse taps.
#pragma once

#include <memory>
#include <string>

#include "user/display.h"

namespace emu {

// Null, with *why set, when the terminal cannot be used.
std::unique_ptr<Display> MakeTerminalDisplay(std::string* why);

}  // namespace emu
