// Handheld paths ("\windows\x.ee") to host paths inside the device's fs/
// folder. Names match without regard to ASCII letter case, as on the
// handheld; a path that would lead outside fs/ is refused, never followed.
#pragma once

#include <windows.h>

#include <string>

namespace emu {

struct HostPath {
  DWORD error = 0;       // 0, or why the path cannot be used
  std::string host;      // the host path (valid when error == 0)
  bool exists = false;   // the last component exists on the host
  bool is_dir = false;   // ... and is a folder
  bool is_root = false;  // the path names fs/ itself
};

// Resolves a handheld path. Every component but the last must exist as a
// folder (else ERROR_PATH_NOT_FOUND); a missing last component keeps the
// case given. Refusals: ERROR_INVALID_NAME for characters a handheld name
// cannot hold, ERROR_ACCESS_DENIED for ".." above the root or a symlink whose
// target lies outside fs/ (or does not exist).
HostPath ResolvePath(LPCWSTR path);

// The host fs/ folder (real path), made if missing.
std::string FsRoot();

// A port name such as "COM7:" (any case): its number, else -1.
int PortNumber(LPCWSTR name);

}  // namespace emu
