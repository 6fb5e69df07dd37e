#include "user/window_system.h"

#include <algorithm>

#include "core/clock.h"
#include "user/display.h"
#include "user/foreign_windows.h"

namespace emu {
namespace {

DisplayFactory g_display_factory = nullptr;

// For tools and in-process uses that never show a window to anybody.
class NoDisplay : public Display {
 public:
  Wait WaitInput(int, const std::vector<int>&) override { return Wait::Ended; }
  bool InputEnded() const override { return true; }
};

}  // namespace

void SetDisplayFactory(DisplayFactory factory) { g_display_factory = factory; }

WindowSystem& WindowSystem::Get() {
  static WindowSystem ws;
  return ws;
}

WindowSystem::WindowSystem() { cursor = ArrowCursor(); }

Display& WindowSystem::display() {
  if (!display_) display_ = g_display_factory ? g_display_factory() : std::make_unique<NoDisplay>();
  return *display_;
}

void WindowSystem::SetDisplay(std::unique_ptr<Display> d) { display_ = std::move(d); }

Window* WindowSystem::Find(HWND h) {
  auto it = windows_.find(h);
  return it == windows_.end() ? nullptr : it->second.get();
}

Window* WindowSystem::FindLocal(HWND h) {
  Window* w = Find(h);
  return w && w->kind != Kind::Foreign ? w : nullptr;
}

Window& WindowSystem::Create(Kind kind, const std::u16string& cls, HWND parent) {
  auto w = std::make_unique<Window>();
  w->handle = reinterpret_cast<HWND>(next_handle_);
  next_handle_ += 0x10;
  w->kind = kind;
  w->cls = cls;
  w->parent = parent;
  Window& ref = *w;
  windows_[ref.handle] = std::move(w);
  if (Window* p = Find(parent)) p->children.push_back(ref.handle);
  return ref;
}

void WindowSystem::Destroy(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  for (HWND child : std::vector<HWND>(w->children)) Destroy(child);
  if (Window* p = Find(w->parent)) std::erase(p->children, h);
  std::erase_if(timers_, [h](const Timer& t) { return t.hwnd == h; });
  std::erase_if(queue_, [h](const MSG& m) { return m.hwnd == h; });
  if (focus == h) focus = nullptr;
  if (foreground == h) foreground = nullptr;
  bool top = !w->parent && w->kind != Kind::Foreign;
  windows_.erase(h);
  if (top) PublishWindows();
}

std::vector<Window*> WindowSystem::TopLevel() {
  std::vector<Window*> out;
  for (auto& [h, w] : windows_)
    if (!w->parent && w->kind != Kind::Foreign) out.push_back(w.get());
  return out;
}

void WindowSystem::Post(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  queue_.push_back(MSG{h, msg, wp, lp, static_cast<DWORD>(NowMs()), {}});
}

void WindowSystem::Quit(int code) {
  quit_ = true;
  quit_code_ = code;
}

// Posted messages first; paint and timer messages only when nothing else
// waits, as the platform's queue produces them.
std::optional<MSG> WindowSystem::NextReady() {
  if (!queue_.empty()) {
    MSG m = queue_.front();
    queue_.pop_front();
    return m;
  }
  if (quit_) {
    quit_ = false;
    return MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quit_code_), 0, 0, {}};
  }
  for (auto& [h, w] : windows_)
    if (w->needs_paint && !w->parent && w->visible() && w->kind != Kind::Foreign)
      return MSG{h, WM_PAINT, 0, 0, static_cast<DWORD>(NowMs()), {}};
  MSG m;
  if (ProduceTimer(&m)) return m;
  return std::nullopt;
}

bool WindowSystem::ProduceTimer(MSG* msg) {
  uint64_t now = NowMs();
  Timer* next = nullptr;
  for (auto& t : timers_)
    if (t.due <= now && (!next || t.due < next->due)) next = &t;
  if (!next) return false;
  next->due = now + next->elapse;
  *msg = MSG{
      next->hwnd, WM_TIMER, next->id, reinterpret_cast<LPARAM>(next->proc), static_cast<DWORD>(now),
      {}};
  return true;
}

void WindowSystem::WaitForInput() {
  std::optional<uint64_t> due;
  for (auto& t : timers_)
    if (!due || t.due < *due) due = t.due;
  uint64_t now = NowMs();
  int timeout = due ? static_cast<int>(*due > now ? *due - now : 0) : -1;
  Display& d = display();
  if (d.InputEnded()) {
    if (due) {
      SleepMs(*due > now ? *due - now : 0);
      return;
    }
    // No input will come and nothing is pending: the innermost modal loop
    // ends as if it could not be shown (a box) or was cancelled (the dialog).
    Window* m = InnermostModal();
    if (!m) return;
    if (m->kind == Kind::MessageBox) {
      m->result = 0;
      m->ended = true;
    } else if (!m->cancel_posted) {
      m->cancel_posted = true;
      Post(m->handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
      m->result = IDCANCEL;
      m->ended = true;  // the dialog ignored the cancel: end it anyway
    }
    return;
  }
  if (VirtualClock() && due) {
    // Tests with a virtual clock: input that is there is read first.
    if (d.WaitInput(0, {}) == Display::Wait::Timeout) SleepMs(*due > now ? *due - now : 0);
    return;
  }
  std::vector<int> wake;
  if (ForegroundFd() >= 0) wake.push_back(ForegroundFd());
  if (d.WaitInput(timeout, wake) == Display::Wait::Woken) DrainForegroundRequests();
}

bool WindowSystem::GetMessage(MSG* msg) {
  for (;;) {
    if (auto m = NextReady()) {
      *msg = *m;
      return m->message != WM_QUIT;
    }
    Window* modal = InnermostModal();
    if (modal && modal->ended) {
      *msg = MSG{};  // let the modal loop see that it has ended
      return true;
    }
    WaitForInput();
  }
}

LRESULT WindowSystem::Dispatch(const MSG& m) {
  if (m.message == WM_NULL) return 0;
  if (m.message == WM_TIMER && m.lParam) {
    reinterpret_cast<TIMERPROC>(m.lParam)(m.hwnd, WM_TIMER, m.wParam, m.time);
    return 0;
  }
  return Send(m.hwnd, m.message, m.wParam, m.lParam);
}

LRESULT WindowSystem::Send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = FindLocal(h);
  if (!w) return 0;
  if (w->kind == Kind::Dialog || w->kind == Kind::MessageBox)
    return DialogManagerProc(*w, msg, wp, lp);
  return ControlProc(*w, msg, wp, lp);
}

void WindowSystem::RunModal(Window& w) {
  modal_.push_back(w.handle);
  HWND h = w.handle;
  MSG msg;
  while (Window* self = FindLocal(h)) {
    if (self->ended) break;
    if (!GetMessage(&msg)) {
      Quit(static_cast<int>(msg.wParam));  // hand WM_QUIT on to the outer loop
      break;
    }
    Dispatch(msg);
  }
  std::erase(modal_, h);
}

Window* WindowSystem::InnermostModal() {
  for (auto it = modal_.rbegin(); it != modal_.rend(); ++it)
    if (Window* w = FindLocal(*it)) return w;
  return nullptr;
}

UINT_PTR WindowSystem::SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  for (auto& t : timers_) {
    if (t.hwnd == h && t.id == id) {
      t.elapse = elapse, t.proc = proc, t.due = NowMs() + elapse;
      return id;
    }
  }
  timers_.push_back(Timer{h, id, elapse, proc, NowMs() + elapse});
  return id;
}

bool WindowSystem::KillTimer(HWND h, UINT_PTR id) {
  auto before = timers_.size();
  std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == h && t.id == id; });
  std::erase_if(
      queue_, [&](const MSG& m) { return m.hwnd == h && m.message == WM_TIMER && m.wParam == id; });
  return timers_.size() != before;
}

void WindowSystem::Activate(HWND h) {
  if (h == foreground) return;
  HWND previous = foreground;
  foreground = h;
  if (FindLocal(previous)) Send(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
  if (FindLocal(h)) Send(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

namespace {
// A control that takes typed text: a combo box with an edit field.
bool TextField(const Window& w) {
  return w.kind == Kind::ComboBox && (w.style & CBS_DROPDOWNLIST) == CBS_DROPDOWN;
}
}  // namespace

void WindowSystem::FocusControl(HWND h) {
  focus = h;
  Window* control = FindLocal(h);
  if (!control) return;
  Changed(*control);
  Window* dlg = FindLocal(control->parent);
  if (!dlg) return;
  for (HWND child : dlg->children)
    if (Window* c = FindLocal(child); c && c->kind == Kind::SipPref) {
      SetInputPanel(TextField(*control));
      return;
    }
}

void WindowSystem::SetInputPanel(bool up) {
  if (input_panel_up == up) return;
  input_panel_up = up;
  std::vector<HWND> windows;
  for (Window* w : TopLevel()) windows.push_back(w->handle);
  for (HWND h : windows) {
    Send(h, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
    if (Window* still = FindLocal(h)) Changed(*still);
  }
}

void WindowSystem::Changed(Window& w) {
  Window* top = &w;
  while (Window* p = FindLocal(top->parent)) top = p;
  top->needs_paint = true;
  display().Changed(w);
}

void WindowSystem::SetText(Window& w, const std::u16string& text) {
  if (w.text == text) return;
  w.text = text;
  Changed(w);
}

void WindowSystem::SetVisible(Window& w, bool visible) {
  if (w.visible() == visible) return;
  w.style = visible ? (w.style | WS_VISIBLE) : (w.style & ~WS_VISIBLE);
  Changed(w);
  if (!w.parent) PublishWindows();
}

void WindowSystem::SetEnabled(Window& w, bool enabled) {
  if (w.enabled() == enabled) return;
  w.style = enabled ? (w.style & ~WS_DISABLED) : (w.style | WS_DISABLED);
  Changed(w);
}

}  // namespace emu
