// The emulated window system: windows and controls, one message queue,
// timers, modal loops. Everything runs on the program's one UI thread.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace emu {

class Display;

enum class Kind { Dialog, MessageBox, Button, ComboBox, Static, Progress, SipPref, Foreign };

struct Window {
  HWND handle = nullptr;
  Kind kind = Kind::Dialog;
  std::u16string cls;
  DWORD style = 0;
  DWORD exstyle = 0;
  int id = 0;
  HWND parent = nullptr;
  HWND owner = nullptr;
  std::u16string text;
  RECT rect{};  // dialog units: left, top, width, height
  DLGPROC dlgproc = nullptr;
  std::vector<HWND> children;
  HICON icons[2] = {};
  bool needs_paint = true;

  // Combo box
  std::vector<std::u16string> items;
  int selected = -1;
  // Progress bar
  int low = 0, high = 100, pos = 0;
  // Modal state (dialogs and message boxes)
  bool ended = false;
  INT_PTR result = 0;
  bool cancel_posted = false;
  UINT box_type = 0;
  std::u16string caption;  // a message box's caption (its text is the message)
  // A window of another program (found through the device's run/ folder)
  DWORD pid = 0;
  uint64_t remote = 0;

  bool visible() const { return style & WS_VISIBLE; }
  bool enabled() const { return !(style & WS_DISABLED); }
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  uint64_t due;
};

class WindowSystem {
 public:
  // The one window system of this process.
  static WindowSystem& Get();

  // A window of this program or a foreign one; null for an unknown handle.
  Window* Find(HWND h);
  Window* FindLocal(HWND h);  // not a foreign window
  // A new window of this program, a child of `parent` when given.
  Window& Create(Kind kind, const std::u16string& cls, HWND parent);
  // Destroys the window with its children, timers and queued messages.
  void Destroy(HWND h);
  // This program's windows without a parent, oldest first.
  std::vector<Window*> TopLevel();

  // The message queue: posted messages, sent ones (straight to the window
  // procedure), and the message that ends the loop.
  void Post(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  bool GetMessage(MSG* msg);  // false only for WM_QUIT
  LRESULT Dispatch(const MSG& msg);
  LRESULT Send(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  void Quit(int code);

  // Modal loops: dialogs and message boxes stack up.
  void RunModal(Window& w);
  Window* InnermostModal();

  // Timers, due while the program waits for messages.
  UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc);
  bool KillTimer(HWND h, UINT_PTR id);

  // Activation: `h` becomes the program's window in front; the window that
  // was there is told it lost activation, then `h` that it has it
  // (WM_ACTIVATE, lParam the other window). Null: none of ours is in front.
  void Activate(HWND h);

  // The focus moves to `h` (a tap, Tab, SetFocus). In a dialog with the
  // shell's input-panel control, the panel goes up when a text field takes
  // the focus and down when another control does.
  void FocusControl(HWND h);
  // Raises or lowers the input panel; every top-level window of the program
  // is told (WM_SETTINGCHANGE with SPI_SETSIPINFO).
  void SetInputPanel(bool up);

  // State changes the display shows.
  void Changed(Window& w);
  void SetText(Window& w, const std::u16string& text);
  void SetVisible(Window& w, bool visible);
  void SetEnabled(Window& w, bool enabled);

  // What shows the windows: made by the display factory on first use.
  Display& display();
  void SetDisplay(std::unique_ptr<Display> d);  // replaces it (in-process tests)

  HWND focus = nullptr;       // the window keyboard input goes to
  HWND foreground = nullptr;  // the program's window in front, if any
  HCURSOR cursor = nullptr;   // the cursor SetCursor made current
  // The shell's SHInitExtraControls registered the input-panel control class.
  bool input_panel_class = false;
  bool input_panel_up = false;  // the handheld's input panel (its keyboard) is shown

 private:
  WindowSystem();
  std::optional<MSG> NextReady();
  bool ProduceTimer(MSG* msg);
  void WaitForInput();

  std::map<HWND, std::unique_ptr<Window>> windows_;
  std::deque<MSG> queue_;
  std::vector<Timer> timers_;
  std::vector<HWND> modal_;
  std::unique_ptr<Display> display_;
  uintptr_t next_handle_ = 0x10010;
  bool quit_ = false;
  int quit_code_ = 0;
};

// Built-in window procedures of the control classes and the dialog manager.
LRESULT ControlProc(Window& w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT DialogManagerProc(Window& w, UINT msg, WPARAM wp, LPARAM lp);

// The cursors LoadCursorW hands out.
HCURSOR ArrowCursor();
HCURSOR WaitCursor();

}  // namespace emu
