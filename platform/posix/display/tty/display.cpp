// The terminal display: the handheld's screen in a terminal, used with the
// keyboard and the mouse (clicks are taps).
//
// Drawing keeps out of the program's way: a download moves its progress bar
// once per KiB, and the screen changes only when a cell more of the bar
// fills, at most every kBarRedraw. Every other change is drawn at once, so
// that what the program shows before it blocks (the wait cursor, a hidden
// status line) is on the screen while it blocks.
#include "display/tty/display.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <optional>

#include "user/display.h"
#include "display/tty/terminal.h"
#include "display/tty/curses_wide.h"
#include "display/tty/draw.h"
#include "display/tty/layout.h"
#include "display/tty/view.h"

namespace emu {
namespace tty {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBarRedraw = std::chrono::milliseconds(40);

class TerminalDisplay : public Display {
 public:
  ~TerminalDisplay() override { RestoreTerminal(); }

  void Changed(Window& w) override {
    if (w.kind == Kind::Progress && w.visible()) {
      auto seen = bars_.find(w.handle);
      if (seen != bars_.end() && seen->second >= 0) {
        if (FilledCells(w) == seen->second) return;  // nothing new to see
        dirty_ = true;
        if (Clock::now() - last_draw_ < kBarRedraw) return;
      }
    }
    Redraw();
  }
  // Drawn when its modal loop paints it: only then is it the box that takes
  // the keys.
  void BoxOpened(Window&) override { dirty_ = true; }
  void BoxClosed(Window&) override { Redraw(); }
  void DialogClosed(Window&) override {
    erase();
    refresh();
  }
  void BroughtToForeground() override {
    clearok(curscr, TRUE);
    Redraw();
  }
  void Paint(Window&) override {
    if (dirty_) Redraw();
  }

  Wait WaitInput(int timeout_ms, const std::vector<int>& wake_fds) override {
    std::optional<Clock::time_point> deadline;
    if (timeout_ms >= 0) deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (ended_) return Wait::Ended;
      // Keys the terminal library has read ahead come first.
      wint_t ch;
      int got = get_wch(&ch);
      if (got != ERR) {
        Handle(got == KEY_CODE_YES, static_cast<int>(ch));
        return Wait::Acted;
      }
      if (dirty_) Redraw();
      int wait = -1;
      if (deadline) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
        wait = static_cast<int>(std::max<int64_t>(0, left.count()));
      }
      std::vector<pollfd> fds{{0, POLLIN, 0}};
      for (int fd : wake_fds) fds.push_back({fd, POLLIN, 0});
      int n = poll(fds.data(), fds.size(), wait);
      if (n < 0 && errno == EINTR) continue;  // a resize: its key comes next
      if (n < 0) {
        ended_ = true;
        continue;
      }
      if (n == 0) return Wait::Timeout;
      for (size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents & POLLIN) return Wait::Woken;
      short in = fds[0].revents;
      if ((in & (POLLHUP | POLLERR | POLLNVAL)) && !(in & POLLIN)) ended_ = true;
      if (in & POLLIN) {
        got = get_wch(&ch);
        if (got != ERR) {
          Handle(got == KEY_CODE_YES, static_cast<int>(ch));
          return Wait::Acted;
        }
        int pending = 0;
        if (ioctl(0, FIONREAD, &pending) == 0 && pending == 0) ended_ = true;  // hung up
      }
    }
  }

  bool InputEnded() const override { return ended_; }

 private:
  void Redraw() {
    SyncView(view_);
    DrawScreen(view_);
    dirty_ = false;
    last_draw_ = Clock::now();
    bars_.clear();
    for (Window* top : WindowSystem::Get().TopLevel())
      for (HWND h : top->children)
        if (Window* c = WindowSystem::Get().FindLocal(h); c && c->kind == Kind::Progress)
          bars_[h] = c->visible() ? FilledCells(*c) : -1;
  }

  void Handle(bool special, int code) {
    if (special && code == KEY_RESIZE) {
      // The dialog ignores size changes: the controls stay where they are.
      clearok(curscr, TRUE);
    } else if (special && code == KEY_MOUSE) {
      MEVENT ev;
      if (getmouse(&ev) == OK && (ev.bstate & (BUTTON1_RELEASED | BUTTON1_CLICKED)))
        Tap(view_, ev.y, ev.x);
    } else if (!special && code == 27) {
      Escape();
    } else if (!special && code == 12) {  // Ctrl-L draws the screen anew
      clearok(curscr, TRUE);
    } else {
      PressKey(view_, {special, code, false});
    }
    Redraw();
  }

  // Esc alone; Alt-Up/Down as terminals that prefix Esc send them; or the
  // start of a key sequence this terminal type does not list, dropped whole
  // rather than typed into the field.
  void Escape() {
    wint_t next;
    int got = get_wch(&next);
    bool key = got == KEY_CODE_YES;
    if (key && (next == KEY_DOWN || next == KEY_UP)) {
      PressKey(view_, {true, static_cast<int>(next), true});
    } else if (got == OK && (next == L'[' || next == L'O')) {
      bool csi = next == L'[';
      for (int i = 0; i < 16 && get_wch(&next) == OK; ++i)
        if (!csi || (next >= 0x40 && next <= 0x7E)) break;
    } else {
      PressKey(view_, {false, 27, false});
      // Typed ahead after Esc: its own key, read next time.
      if (key)
        ungetch(static_cast<int>(next));
      else if (got == OK)
        unget_wch(static_cast<wchar_t>(next));
    }
  }

  View view_;
  bool dirty_ = true;
  bool ended_ = false;
  Clock::time_point last_draw_{};
  std::map<HWND, int> bars_;  // filled cells of each progress bar drawn; -1 hidden
};

}  // namespace
}  // namespace tty

std::unique_ptr<Display> MakeTerminalDisplay(std::string* why) {
  if (!tty::StartTerminal(why)) return nullptr;
  return std::make_unique<tty::TerminalDisplay>();
}

}  // namespace emu
