// The display that SKYLODE_DISPLAY and the terminal call for.
#pragma once

#include <memory>

#include "user/display.h"

namespace emu {

// "script" or "tty" from SKYLODE_DISPLAY; without it, tty when standard input
// and output are terminals.
std::unique_ptr<Display> MakeDisplay();

}  // namespace emu
