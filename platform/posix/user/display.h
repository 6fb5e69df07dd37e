// What draws the window system and brings the user's input: the script
// display (a line protocol) or the terminal display.
#pragma once

#include <memory>
#include <vector>

#include "user/window_system.h"

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

// How the window system makes its display when it first needs one; the
// program's entry installs the real choice. Without a factory the window
// system uses a display that shows nothing and brings no input.
using DisplayFactory = std::unique_ptr<Display> (*)();
void SetDisplayFactory(DisplayFactory factory);

}  // namespace emu
