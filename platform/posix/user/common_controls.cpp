// The common controls library: its controls (progress bar, ...) are always
// registered here, so initialising them only checks and traces the call.
#include <commctrl.h>

#include "core/api_call.h"

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
  emu::ApiCall call("InitCommonControlsEx", emu::Hex(icc ? icc->dwICC : 0));
  return call.ret(TRUE);
}
