// The script display: a line protocol on standard input and output, for
// tests and automation.
#pragma once

#include <iosfwd>
#include <memory>

#include "user/display.h"

namespace emu {

// Over standard input and output.
std::unique_ptr<Display> MakeScriptDisplay();

// Selects the script display over these streams: events go to `out`, the
// user's commands come from `in` whenever the program waits for input.
void UseScriptDisplay(std::istream& in, std::ostream& out);

}  // namespace emu
