// The handheld's Connection Manager. Its one destination network, the
// internet, is up when the desktop says it is connected, unless the device
// folder holds a file named "offline".
#include <connmgr.h>
#include <wininet.h>

#include "device_folder.h"

namespace {

// The destination network "The Internet", as the handheld names it.
constexpr GUID kInternetNetwork = {
    0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

bool NetworkUp() {
  if (handheld::Exists(handheld::DevicePath(L"offline"))) return false;
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

}  // namespace

HRESULT WINAPI ConnMgrMapURL(LPCWSTR url, GUID* network, DWORD*) {
  if (!url || !network) return E_INVALIDARG;
  if (!NetworkUp()) return E_FAIL;
  *network = kInternetNetwork;
  return S_OK;
}

HRESULT WINAPI ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* info, HANDLE* connection,
                                              DWORD, DWORD* status) {
  if (!info || !connection || !status || info->cbSize != sizeof(CONNMGR_CONNECTIONINFO))
    return E_INVALIDARG;
  *connection = nullptr;
  if (!NetworkUp()) {
    *status = CONNMGR_STATUS_NOPATHTODESTINATION;
    return E_FAIL;
  }
  // A kernel object, so that the caller's CloseHandle has something to close.
  *connection = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!*connection) return E_OUTOFMEMORY;
  *status = CONNMGR_STATUS_CONNECTED;
  return S_OK;
}

HRESULT WINAPI ConnMgrReleaseConnection(HANDLE connection, LONG) {
  return connection ? S_OK : E_INVALIDARG;
}
