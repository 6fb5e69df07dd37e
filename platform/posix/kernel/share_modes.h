// Share modes of open files. Between handles of this process they are
// honoured exactly. Across processes only a handle that shares nothing
// (share mode 0) is enforced, through flock: it holds LOCK_EX, every other
// handle with read or write access holds LOCK_SH.
#pragma once

#include <sys/types.h>
#include <windows.h>

#include <cstdint>

namespace emu {

// An open file's place in the share table; releasing it (destructor) frees
// the share and the flock. The fd stays the caller's and must outlive it.
class ShareClaim {
 public:
  ShareClaim() = default;
  ~ShareClaim();
  ShareClaim(const ShareClaim&) = delete;
  ShareClaim& operator=(const ShareClaim&) = delete;

  // Claims `fd`'s file for `access` while letting others have `share`.
  // Returns 0 or ERROR_SHARING_VIOLATION.
  DWORD Claim(int fd, dev_t dev, ino_t ino, DWORD access, DWORD share);
  // Gives the claim up (before the fd is closed); the destructor does too.
  void Release();

 private:
  uint64_t id_ = 0;
  int fd_ = -1;
};

// True when a handle of this process has the file open.
bool FileOpenHere(dev_t dev, ino_t ino);

}  // namespace emu
