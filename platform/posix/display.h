// What draws the window system and brings the user's input: the script
// display (a line protocol) or the terminal display.
#pragma once

#include <memory>
#include <vector>

#include "window_system.h"

namespace emu {

class Display {
 public:
  enum class Wait { Acted, Timeout, Ended, Woken };

  virtual ~Display() = default;
  // A window's text, visibility, enabled state, list or progress changed.
  virtual void Changed(Window&) {}
  virtual void BoxOpened(Window&) {}
  virtual void BoxClosed(Window&) {}
  virtual void DialogClosed(Window&) {}
  virtual void BroughtToForeground() {}
  virtual void Paint(Window&) {}
  // Waits up to timeout_ms (-1: no limit) for the user's next action and
  // performs it; Woken when one of wake_fds became readable first.
  virtual Wait WaitInput(int timeout_ms, const std::vector<int>& wake_fds) = 0;
  virtual bool InputEnded() const = 0;
};

// Made from SKYLODE_DISPLAY when the window system first needs a display:
// "script" or "tty"; without it, tty when standard input and output are
// terminals.
std::unique_ptr<Display> MakeDisplay();
std::unique_ptr<Display> MakeScriptDisplay();    // standard input and output
std::unique_ptr<Display> MakeTerminalDisplay();  // null when the terminal cannot be used

}  // namespace emu
