// The shell's help for the input panel across activation: a window that
// passes its WM_ACTIVATE and WM_SETTINGCHANGE here gets the panel and its
// focus back as they were when it lost activation.
#include <aygshell.h>

#include "core/api_call.h"
#include "user/window_system.h"

namespace {

bool Usable(const SHACTIVATEINFO* info) { return info && info->cbSize == sizeof(SHACTIVATEINFO); }

// Whether `h` is `top` or one of its controls.
bool Within(emu::WindowSystem& ws, HWND h, HWND top) {
  for (emu::Window* w = ws.FindLocal(h); w; w = ws.FindLocal(w->parent))
    if (w->handle == top) return true;
  return false;
}

}  // namespace

BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai,
                               DWORD dwFlags) {
  emu::ApiCall call("SHHandleWMActivate", hwnd, wParam, reinterpret_cast<HWND>(lParam),
                    emu::Hex(dwFlags));
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::WindowSystem& ws = emu::WindowSystem::Get();
  if (!Usable(psai) || !ws.FindLocal(hwnd)) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  if (LOWORD(wParam) == WA_INACTIVE) {
    psai->fActive = 0;
    psai->fSipOnDeactivation = ws.input_panel_up ? 1 : 0;
    psai->hwndLastFocus = Within(ws, ws.focus, hwnd) ? ws.focus : nullptr;
  } else {
    psai->fActive = 1;
    // The focus comes back where it was, without the input-panel control
    // deciding anew: the panel takes the state it had.
    if (psai->hwndLastFocus && Within(ws, psai->hwndLastFocus, hwnd))
      ws.focus = psai->hwndLastFocus;
    ws.SetInputPanel(psai->fSipOnDeactivation);
  }
  call.note("sip", ws.input_panel_up);
  return call.ret(TRUE);
}

BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai) {
  emu::ApiCall call("SHHandleWMSettingChange", hwnd, wParam, lParam);
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::WindowSystem& ws = emu::WindowSystem::Get();
  if (!Usable(psai) || !ws.FindLocal(hwnd)) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  // The dialog fills the screen whatever the panel does; only its state is kept.
  if (wParam == SPI_SETSIPINFO) psai->fSipUp = ws.input_panel_up ? 1 : 0;
  call.note("sip", ws.input_panel_up);
  return call.ret(TRUE);
}
