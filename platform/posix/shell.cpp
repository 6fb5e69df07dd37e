// The handheld shell's calls that the dialog's start-up uses.
#include <aygshell.h>
#include <commctrl.h>

#include "api_call.h"
#include "shell_state.h"
#include "window_system.h"

namespace emu {
namespace {
bool g_extra_controls = false;
}
bool ShellExtraControlsReady() { return g_extra_controls; }
}  // namespace emu

BOOL WINAPI SHInitExtraControls(void) {
  emu::ApiCall call("SHInitExtraControls");
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::g_extra_controls = true;
  return call.ret(TRUE);
}

// Full-screen set-up: on this display the dialog always fills the screen, so
// only the flags are checked and traced.
BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
  emu::ApiCall call("SHInitDialog", info ? info->hDlg : nullptr, emu::Hex(info ? info->dwMask : 0),
                    emu::Hex(info ? info->dwFlags : 0));
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!info || !emu::WindowSystem::Get().FindLocal(info->hDlg))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  return call.ret(TRUE);
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
  emu::ApiCall call("InitCommonControlsEx", emu::Hex(icc ? icc->dwICC : 0));
  return call.ret(TRUE);
}
