// Draws the whole screen from the windows and the view, clipped to the
// terminal.
#pragma once

#include "display/tty/view.h"

namespace emu::tty {

void DrawScreen(const View& view);

}  // namespace emu::tty
