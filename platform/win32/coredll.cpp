// The handheld's core calls that desktop Win32 lacks or means otherwise:
// the file replace, and registry keys opened with no access mask.
#include <initializer_list>

#include "handheld_routing.h"

#undef RegOpenKeyExW

extern "C" BOOL WINAPI DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source) {
  if (!destination || !source) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The desktop's replace would also accept a missing destination.
  for (LPCWSTR name : {destination, source})
    if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) return FALSE;
  return ReplaceFileW(destination, source, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr);
}

// The handheld ignores the mask; the desktop grants exactly what is asked,
// and a mask of 0 grants nothing. Asks for reading and writing, and for
// reading alone where the desktop refuses writing (a user's HKLM).
extern "C" LONG WINAPI HandheldRegOpenKeyExW(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access,
                                             PHKEY result) {
  if (access != 0) return RegOpenKeyExW(key, subkey, options, access, result);
  LONG status = RegOpenKeyExW(key, subkey, options, KEY_READ | KEY_WRITE, result);
  if (status == ERROR_ACCESS_DENIED) status = RegOpenKeyExW(key, subkey, options, KEY_READ, result);
  return status;
}
