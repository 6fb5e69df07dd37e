// Windows of other programs on the same handheld. Each program lists its
// visible top-level windows in run/<pid>.win of the device folder and takes
// foreground requests through the FIFO run/<pid>.fifo.
#pragma once

#include <vector>

#include "user/window_system.h"

namespace emu {

// Rewrites this program's list after a top-level window changed.
void PublishWindows();
// The FIFO other programs write to; -1 until this program has a window.
int ForegroundFd();
// Handles waiting requests: brings our dialog to the front.
void DrainForegroundRequests();
// Adds the other programs' listed windows to the window table.
std::vector<HWND> ForeignTopLevel();
bool RequestForeground(const Window& foreign);
// Removes this program's entries (at exit).
void UnpublishWindows();

}  // namespace emu
