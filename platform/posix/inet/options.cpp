// InternetQueryOptionW: the client's time limits, as the settings make them.
#include <wininet.h>

#include <cstring>

#include "core/api_call.h"
#include "inet/handles.h"
#include "inet/settings.h"

BOOL WINAPI InternetQueryOptionW(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer,
                                 LPDWORD lpdwBufferLength) {
  emu::ApiCall call("InternetQueryOptionW", hInternet, dwOption);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (hInternet && !emu::GetHandle<emu::InternetSession>(hInternet) &&
      !emu::GetHandle<emu::InternetRequest>(hInternet))
    return call.fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpdwBufferLength) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  emu::HttpTimeouts limits = emu::GetHttpTimeouts();
  DWORD value;
  switch (dwOption) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
      value = static_cast<DWORD>(limits.connect_ms);
      break;
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
      value = static_cast<DWORD>(limits.receive_ms);
      break;
    default:
      return call.fail(ERROR_INTERNET_INVALID_OPTION, FALSE);
  }
  if (!lpBuffer || *lpdwBufferLength < sizeof value) {
    *lpdwBufferLength = sizeof value;
    return call.fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  memcpy(lpBuffer, &value, sizeof value);
  *lpdwBufferLength = sizeof value;
  call.note("value", value);
  SetLastError(ERROR_SUCCESS);
  return call.ret(TRUE);
}
