// The handheld shell's calls that the dialog's start-up uses.
#include <aygshell.h>
#include <commctrl.h>

#include "core/api_call.h"
#include "user/window_system.h"

BOOL WINAPI SHInitExtraControls(void) {
  emu::ApiCall call("SHInitExtraControls");
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::WindowSystem::Get().input_panel_class = true;
  return call.ret(TRUE);
}

// Full-screen set-up: on this display the dialog always fills the screen, so
// the flags are checked and traced; SHIDIF_SIPDOWN lowers the input panel.
BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
  emu::ApiCall call("SHInitDialog", info ? info->hDlg : nullptr, emu::Hex(info ? info->dwMask : 0),
                    emu::Hex(info ? info->dwFlags : 0));
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!info || !emu::WindowSystem::Get().FindLocal(info->hDlg))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  if (info->dwFlags & SHIDIF_SIPDOWN) emu::WindowSystem::Get().SetInputPanel(false);
  return call.ret(TRUE);
}
