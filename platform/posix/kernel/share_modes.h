// Share modes of open files. Between handles of this process they are
// honoured exactly. Across processes only a handle that shares nothing
// (share mode 0) is enforced, through flock: it holds LOCK_EX, every other
// handle with read or write access holds LOCK_SH. The same locks let a
// delete or rename see a file open in another process.
#pragma once

#include <sys/types.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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

// Keeps files that are about to be deleted, renamed or replaced from every
// handle: taking a file fails while a handle of any process has it open, and
// while held, new opens fail with a sharing violation. Released when it goes.
class NameChangeHold {
 public:
  NameChangeHold() = default;
  ~NameChangeHold();
  NameChangeHold(const NameChangeHold&) = delete;
  NameChangeHold& operator=(const NameChangeHold&) = delete;

  // 0, or ERROR_SHARING_VIOLATION when the host file is open somewhere.
  DWORD Take(const std::string& host);

 private:
  std::vector<int> fds_;
};

}  // namespace emu
