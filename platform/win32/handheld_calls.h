// The handheld's calls that desktop Win32 lacks, over desktop calls, for the
// Win32 build of the program (force-included: scripts/check-win32.sh).
#pragma once

#include <windows.h>

// Both files must exist; the source's content replaces the destination's in
// one step and the source is gone.
inline BOOL DeleteAndRenameFile(LPCWSTR lpszDestFile, LPCWSTR lpszSourceFile) {
  if (GetFileAttributesW(lpszDestFile) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesW(lpszSourceFile) == INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return MoveFileExW(lpszSourceFile, lpszDestFile, MOVEFILE_REPLACE_EXISTING);
}
