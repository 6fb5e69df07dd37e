// The window API over the emulated window system.
#include <algorithm>

#include "core/api_call.h"
#include "user/display.h"
#include "user/foreign_windows.h"
#include "user/resources.h"
#include "user/window_system.h"

using emu::ApiCall;
using emu::Hex;
using emu::Window;
using emu::WindowSystem;

namespace {

// The trace shows the text of the messages that carry one in lParam.
std::string ParamText(UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_SETTEXT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
      return emu::TraceText(reinterpret_cast<LPCWSTR>(lp));
    default:
      return std::to_string(lp);
  }
}

Window* Child(HWND dlg, int id) {
  Window* d = WindowSystem::Get().FindLocal(dlg);
  if (!d) return nullptr;
  for (HWND h : d->children)
    if (Window* c = WindowSystem::Get().FindLocal(h); c && c->id == id) return c;
  return nullptr;
}

}  // namespace

HWND WINAPI GetDlgItem(HWND dlg, int id) {
  ApiCall call("GetDlgItem", dlg, id);
  Window* c = Child(dlg, id);
  return c ? call.ret(c->handle)
           : call.fail(ERROR_INVALID_WINDOW_HANDLE, static_cast<HWND>(nullptr));
}

int WINAPI GetDlgCtrlID(HWND h) {
  ApiCall call("GetDlgCtrlID", h);
  Window* w = WindowSystem::Get().FindLocal(h);
  return w ? call.ret(w->id) : call.fail(ERROR_INVALID_WINDOW_HANDLE, 0);
}

UINT WINAPI GetDlgItemTextW(HWND dlg, int id, LPWSTR buffer, int max) {
  ApiCall call("GetDlgItemTextW", dlg, id, static_cast<const void*>(buffer), max);
  Window* c = Child(dlg, id);
  if (!c) {
    if (buffer && max > 0) buffer[0] = 0;
    return call.fail(ERROR_INVALID_WINDOW_HANDLE, 0u);
  }
  auto n = WindowSystem::Get().Send(c->handle, WM_GETTEXT, static_cast<WPARAM>(std::max(max, 0)),
                                    reinterpret_cast<LPARAM>(buffer));
  return call.ret(static_cast<UINT>(n));
}

BOOL WINAPI SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
  ApiCall call("SetDlgItemTextW", dlg, id, text);
  if (call.faulted()) return call.fail_injected(FALSE);
  Window* c = Child(dlg, id);
  if (!c) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  WindowSystem::Get().Send(c->handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  return call.ret(TRUE);
}

LRESULT WINAPI SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
  ApiCall call("SendDlgItemMessageW", dlg, id, Hex(msg), wp, ParamText(msg, lp));
  Window* c = Child(dlg, id);
  if (!c) return call.fail(ERROR_INVALID_WINDOW_HANDLE, static_cast<LRESULT>(0));
  return call.ret(WindowSystem::Get().Send(c->handle, msg, wp, lp));
}

LRESULT WINAPI SendMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  ApiCall call("SendMessageW", h, Hex(msg), wp, ParamText(msg, lp));
  if (!WindowSystem::Get().Find(h))
    return call.fail(ERROR_INVALID_WINDOW_HANDLE, static_cast<LRESULT>(0));
  return call.ret(WindowSystem::Get().Send(h, msg, wp, lp));
}

BOOL WINAPI PostMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  ApiCall call("PostMessageW", h, Hex(msg), wp, lp);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (h && !WindowSystem::Get().FindLocal(h)) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  WindowSystem::Get().Post(h, msg, wp, lp);
  return call.ret(TRUE);
}

void WINAPI PostQuitMessage(int code) { WindowSystem::Get().Quit(code); }

BOOL WINAPI GetMessageW(LPMSG msg, HWND, UINT, UINT) { return WindowSystem::Get().GetMessage(msg); }

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
  return msg ? WindowSystem::Get().Dispatch(*msg) : 0;
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

// Keyboard navigation is the display's business here; nothing to translate.
BOOL WINAPI IsDialogMessageW(HWND, LPMSG) { return FALSE; }

LRESULT WINAPI DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL WINAPI ShowWindow(HWND h, int cmd) {
  ApiCall call("ShowWindow", h, cmd);
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  BOOL was_visible = w->visible();
  WindowSystem::Get().SetVisible(*w, cmd != SW_HIDE);
  return call.ret(was_visible);
}

BOOL WINAPI IsWindowVisible(HWND h) {
  Window* w = WindowSystem::Get().Find(h);
  return w && w->visible();
}

BOOL WINAPI EnableWindow(HWND h, BOOL enable) {
  ApiCall call("EnableWindow", h, enable);
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  BOOL was_disabled = !w->enabled();
  WindowSystem::Get().SetEnabled(*w, enable != FALSE);
  return call.ret(was_disabled);
}

BOOL WINAPI IsWindowEnabled(HWND h) {
  Window* w = WindowSystem::Get().Find(h);
  return w && w->enabled();
}

BOOL WINAPI IsWindow(HWND h) { return WindowSystem::Get().Find(h) != nullptr; }

HWND WINAPI SetFocus(HWND h) {
  ApiCall call("SetFocus", h);
  if (h && !WindowSystem::Get().FindLocal(h))
    return call.fail(ERROR_INVALID_WINDOW_HANDLE, static_cast<HWND>(nullptr));
  HWND previous = WindowSystem::Get().focus;
  WindowSystem::Get().FocusControl(h);
  return call.ret(previous);
}

HWND WINAPI GetFocus(void) { return WindowSystem::Get().focus; }

BOOL WINAPI UpdateWindow(HWND h) {
  ApiCall call("UpdateWindow", h);
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  if (w->needs_paint && w->visible()) WindowSystem::Get().Send(h, WM_PAINT, 0, 0);
  return call.ret(TRUE);
}

BOOL WINAPI InvalidateRect(HWND h, const RECT*, BOOL) {
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w) return FALSE;
  WindowSystem::Get().Changed(*w);
  return TRUE;
}

BOOL WINAPI SetWindowTextW(HWND h, LPCWSTR text) {
  ApiCall call("SetWindowTextW", h, text);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!WindowSystem::Get().FindLocal(h)) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  WindowSystem::Get().Send(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  return call.ret(TRUE);
}

int WINAPI GetWindowTextW(HWND h, LPWSTR buffer, int max) {
  if (!WindowSystem::Get().FindLocal(h)) return 0;
  return static_cast<int>(WindowSystem::Get().Send(
      h, WM_GETTEXT, static_cast<WPARAM>(std::max(max, 0)), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND h) {
  return static_cast<int>(WindowSystem::Get().Send(h, WM_GETTEXTLENGTH, 0, 0));
}

// Styles and the id; a value no call here can set reads as 0, as when unset.
LONG WINAPI GetWindowLongW(HWND h, int index) {
  Window* w = WindowSystem::Get().Find(h);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exstyle);
    case GWL_ID:
      return w->id;
    case GWL_USERDATA:
    case DWL_USER:
      return 0;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

HWND WINAPI GetParent(HWND h) {
  Window* w = WindowSystem::Get().Find(h);
  return w ? (w->parent ? w->parent : w->owner) : nullptr;
}

HWND WINAPI GetWindow(HWND h, UINT cmd) {
  Window* w = WindowSystem::Get().Find(h);
  if (!w) return nullptr;
  if (cmd == GW_OWNER) return w->owner;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  return nullptr;
}

int WINAPI GetClassNameW(HWND h, LPWSTR buffer, int max) {
  Window* w = WindowSystem::Get().Find(h);
  if (!w || !buffer || max <= 0) return 0;
  int n = std::min(static_cast<int>(w->cls.size()), max - 1);
  std::copy_n(w->cls.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

DWORD WINAPI GetWindowThreadProcessId(HWND h, LPDWORD pid) {
  Window* w = WindowSystem::Get().Find(h);
  if (!w) return 0;
  DWORD owner_pid = w->kind == emu::Kind::Foreign ? w->pid : GetCurrentProcessId();
  if (pid) *pid = owner_pid;
  return owner_pid;
}

BOOL WINAPI EnumWindows(WNDENUMPROC proc, LPARAM lp) {
  ApiCall call("EnumWindows", lp);
  std::vector<HWND> all;
  for (Window* w : WindowSystem::Get().TopLevel()) all.push_back(w->handle);
  for (HWND h : emu::ForeignTopLevel()) all.push_back(h);
  for (HWND h : all)
    if (!proc(h, lp)) break;
  return call.ret(TRUE);
}

BOOL WINAPI SetForegroundWindow(HWND h) {
  ApiCall call("SetForegroundWindow", h);
  Window* w = WindowSystem::Get().Find(h);
  if (!w) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  if (w->kind == emu::Kind::Foreign) return call.ret(emu::RequestForeground(*w) ? TRUE : FALSE);
  WindowSystem::Get().Activate(h);
  return call.ret(TRUE);
}

HWND WINAPI GetForegroundWindow(void) { return WindowSystem::Get().foreground; }

BOOL WINAPI DestroyWindow(HWND h) {
  ApiCall call("DestroyWindow", h);
  if (!WindowSystem::Get().FindLocal(h)) return call.fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  WindowSystem::Get().Destroy(h);
  return call.ret(TRUE);
}

UINT_PTR WINAPI SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  ApiCall call("SetTimer", h, id, elapse, proc);
  if (call.faulted()) return call.fail_injected(static_cast<UINT_PTR>(0));
  if (h && !WindowSystem::Get().FindLocal(h))
    return call.fail(ERROR_INVALID_WINDOW_HANDLE, static_cast<UINT_PTR>(0));
  return call.ret(WindowSystem::Get().SetTimer(h, id, elapse, proc));
}

BOOL WINAPI KillTimer(HWND h, UINT_PTR id) {
  ApiCall call("KillTimer", h, id);
  if (!WindowSystem::Get().KillTimer(h, id)) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  return call.ret(TRUE);
}

namespace emu {
HCURSOR ArrowCursor() { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0xC0000 + 32512)); }
HCURSOR WaitCursor() { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0xC0000 + 32514)); }
}  // namespace emu

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  ApiCall call("LoadCursorW", instance, emu::ResName{name});
  if (call.faulted()) return call.fail_injected(static_cast<HCURSOR>(nullptr));
  if (!instance && name == IDC_WAIT) return call.ret(emu::WaitCursor());
  if (!instance && name == IDC_ARROW) return call.ret(emu::ArrowCursor());
  return call.fail(ERROR_RESOURCE_NAME_NOT_FOUND, static_cast<HCURSOR>(nullptr));
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  ApiCall call("SetCursor", cursor);
  HCURSOR previous = WindowSystem::Get().cursor;
  WindowSystem::Get().cursor = cursor;
  if (Window* m = WindowSystem::Get().InnermostModal()) WindowSystem::Get().Changed(*m);
  return call.ret(previous);
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
  ApiCall call("LoadIconW", instance, emu::ResName{name});
  if (call.faulted()) return call.fail_injected(static_cast<HICON>(nullptr));
  if (!IS_INTRESOURCE(name) || !emu::HasIcon(static_cast<int>(reinterpret_cast<uintptr_t>(name))))
    return call.fail(ERROR_RESOURCE_NAME_NOT_FOUND, static_cast<HICON>(nullptr));
  return call.ret(
      reinterpret_cast<HICON>(static_cast<uintptr_t>(0xB0000 + reinterpret_cast<uintptr_t>(name))));
}

BOOL WINAPI GetClientRect(HWND h, LPRECT rect) {
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w || !rect) return FALSE;
  *rect = {0, 0, w->rect.right, w->rect.bottom};
  return TRUE;
}

// The handheld's dialog fills the screen; a move only tells the window so.
BOOL WINAPI MoveWindow(HWND h, int, int, int width, int height, BOOL) {
  Window* w = WindowSystem::Get().FindLocal(h);
  if (!w) return FALSE;
  WindowSystem::Get().Send(h, WM_SIZE, 0, MAKELPARAM(width, height));
  return TRUE;
}
