#include <windows.h>
#include <connmgr.h>
#include <wininet.h>

#include <cstring>

#include "net.h"

namespace {

// Lets the Connection Manager choose the network for public internet hosts.
// It is never requested.
const WCHAR kProbeAddress[] = TEXT("http://www.portal.example/");

// Every failed test asks the same question; only No stops the update.
bool UserCancels(HWND owner) {
  return MessageBoxW(owner, TEXT("Error connecting to internet. Continue?"), TEXT(""), MB_YESNO) ==
         IDNO;
}

}  // namespace

bool EstablishInternetConnection(HWND owner, HANDLE* connection) {
  *connection = NULL;

  if (InternetAttemptConnect(0) != ERROR_SUCCESS && UserCancels(owner)) return false;

  CONNMGR_CONNECTIONINFO info;
  memset(&info, 0, sizeof info);
  if (ConnMgrMapURL(kProbeAddress, &info.guidDestNet, NULL) != S_OK && UserCancels(owner))
    return false;

  info.cbSize = sizeof info;
  info.dwParams = CONNMGR_PARAM_GUIDDESTNET;
  info.dwFlags = CONNMGR_FLAG_PROXY_HTTP | CONNMGR_FLAG_PROXY_WAP;
  info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
  HANDLE handle = NULL;
  DWORD status = 0;
  HRESULT hr = ConnMgrEstablishConnectionSync(&info, &handle, INFINITE, &status);
  if ((hr != S_OK || status != CONNMGR_STATUS_CONNECTED) && UserCancels(owner)) {
    ReleaseInternetConnection(handle);
    return false;
  }
  *connection = handle;
  return true;
}

void ReleaseInternetConnection(HANDLE connection) {
  ConnMgrReleaseConnection(connection, 1);
  CloseHandle(connection);
}
