// Message boxes: a modal loop of their own; owned boxes disable their owner.
// A box comes to the front when the program is there (or it asks to be):
// the window there is deactivated until the box closes, and the input panel
// goes down, as a box takes no typing.
#include "core/api_call.h"
#include "user/display.h"
#include "user/window_system.h"

using emu::WindowSystem;

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  emu::ApiCall call("MessageBoxW", owner, text, caption, emu::Hex(type));
  if (call.faulted()) return call.fail_injected(0);
  WindowSystem& ws = WindowSystem::Get();
  emu::Window* owner_window = ws.FindLocal(owner);
  if (owner && !owner_window) return call.fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  emu::Window& box = ws.Create(emu::Kind::MessageBox, u"Dialog", nullptr);
  box.owner = owner;
  box.text = text ? text : u"";
  box.box_type = type;
  box.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
  box.exstyle = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
  box.rect = {0, 0, 0, 0};
  box.caption = caption ? caption : u"";
  HWND h = box.handle;
  bool owner_was_enabled = owner_window && owner_window->enabled();
  if (owner_was_enabled) ws.SetEnabled(*owner_window, false);
  HWND previous = ws.foreground;
  if ((type & MB_SETFOREGROUND) || ws.FindLocal(previous)) {
    ws.Activate(h);
    ws.SetInputPanel(false);
  }
  if (emu::Window* opened = ws.FindLocal(h)) ws.display().BoxOpened(*opened);
  emu::Window* shown = ws.FindLocal(h);
  if (shown && ws.display().InputEnded()) {
    shown->result = 0;  // nobody can answer: as a box that cannot be shown
    shown->ended = true;
  }
  if (shown) ws.RunModal(*shown);
  emu::Window* done = ws.FindLocal(h);
  int result = done ? static_cast<int>(done->result) : 0;
  if (done) {
    ws.display().BoxClosed(*done);
    if (ws.foreground == h) ws.Activate(ws.FindLocal(previous) ? previous : nullptr);
    ws.Destroy(h);
  }
  if (owner_was_enabled && ws.FindLocal(owner)) ws.SetEnabled(*ws.FindLocal(owner), true);
  return call.ret(result);
}
