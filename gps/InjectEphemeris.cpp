#include <afxwin.h>
#include <string.h>

#include "GpsReceiver.h"
#include "ScopedHandle.h"
#include "SkylodeDlg.h"

namespace {
const DWORD kSmallestFile = 100;
const DWORD kLargestFile = 204800;
}  // namespace

CString CSkylodeDlg::InjectEphemeris(LPCWSTR path) {
  CString port = GetGpsPortName();
  CString result;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    result.Format(TEXT("Error %d opening %s"), GetLastError(), path);
    return result;
  }
  CScopedHandle fileGuard(file);
  HANDLE com = OpenGpsPort(port);
  if (com == INVALID_HANDLE_VALUE) {
    result.Format(TEXT("Error %d opening %s"), GetLastError(), static_cast<LPCWSTR>(port));
    return result;
  }
  CScopedHandle comGuard(com);  // closed before the file

  DWORD sizeHigh = 0;
  DWORD size = GetFileSize(file, &sizeHigh);
  // Past 32 bits the file is too large whatever its low part says.
  if (sizeHigh != 0) {
    unsigned long long fullSize = (static_cast<unsigned long long>(sizeHigh) << 32) | size;
    result.Format(TEXT("Strange filesize %I64u of %s"), fullSize, path);
    return result;
  }
  // One unsigned test rejects both the too small and the too large.
  if (size - kSmallestFile > kLargestFile - kSmallestFile) {
    result.Format(TEXT("Strange filesize %d of %s"), size, path);
    return result;
  }
  BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, size));
  if (!buffer) {
    result.Format(TEXT("Can't allocate %d bytes"), size);
    return result;
  }
  try {
    DWORD read = 0;
    DWORD returned = 0;
    if (!ReadFile(file, buffer, size, &read, NULL) || read != size)
      result.Format(TEXT("Failed to read %s, read:%d, error:%d"), path, read, GetLastError());
    else if (!DeviceIoControl(com, IOCTL_EPHEMERIS_LOAD, buffer, size, NULL, 0, &returned, NULL))
      result.Format(TEXT("Failed to copy to %s, error %d"), static_cast<LPCWSTR>(port),
                    GetLastError());
    else
      result = QueryEphemerisValidity(com);
  } catch (...) {
    LocalFree(buffer);
    throw;
  }
  LocalFree(buffer);
  return result;
}
