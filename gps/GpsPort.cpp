#include <afxwin.h>

#include "GpsReceiver.h"
#include "SkylodeDlg.h"

HANDLE OpenGpsPort(LPCWSTR portName) {
  // The driver is used as it comes: no line settings.
  return CreateFileW(portName, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
}

CString CSkylodeDlg::GetGpsPortName() {
  CString port(TEXT("COM7:"));
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("drivers\\builtin\\vr_com"), 0, 0, &key) !=
      ERROR_SUCCESS)
    return port;
  // A value shorter than 4 bytes fills only the low bytes: read zero-extended.
  DWORD index = 0;
  DWORD size = sizeof(index);
  DWORD type;
  if (RegQueryValueExW(key, TEXT("index"), NULL, &type, reinterpret_cast<LPBYTE>(&index), &size) ==
      ERROR_SUCCESS)
    port.Format(TEXT("COM%d:"), index);
  RegCloseKey(key);
  return port;
}
