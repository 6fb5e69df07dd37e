#include "kernel/share_modes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

namespace emu {
namespace {

struct Entry {
  dev_t dev;
  ino_t ino;
  DWORD access;
  DWORD share;
};

struct Table {
  std::mutex lock;
  std::map<uint64_t, Entry> open;
  uint64_t next = 1;
};

Table& table() {
  // Never destroyed: a file handle may be released late in the exit.
  static Table* t = new Table;
  return *t;
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// Either handle wants what the other does not share. A handle without read
// or write access (attributes only) takes part in no share check.
bool Conflicts(const Entry& a, const Entry& b) {
  if (!(a.access & kReadWrite) || !(b.access & kReadWrite)) return false;
  auto denies = [](const Entry& holder, const Entry& other) {
    return ((other.access & GENERIC_READ) && !(holder.share & FILE_SHARE_READ)) ||
           ((other.access & GENERIC_WRITE) && !(holder.share & FILE_SHARE_WRITE));
  };
  return denies(a, b) || denies(b, a);
}

}  // namespace

DWORD ShareClaim::Claim(int fd, dev_t dev, ino_t ino, DWORD access, DWORD share) {
  Entry mine{dev, ino, access, share};
  auto& t = table();
  std::lock_guard guard(t.lock);
  for (const auto& [id, other] : t.open)
    if (other.dev == dev && other.ino == ino && Conflicts(mine, other))
      return ERROR_SHARING_VIOLATION;
  if (access & kReadWrite) {
    int how = ((share & (FILE_SHARE_READ | FILE_SHARE_WRITE)) == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    while ((rc = flock(fd, how)) != 0 && errno == EINTR) {
    }
    if (rc != 0 && errno == EWOULDBLOCK) return ERROR_SHARING_VIOLATION;
    if (rc == 0) fd_ = fd;  // a host without flock here: this process's table only
  }
  id_ = t.next++;
  t.open[id_] = mine;
  return 0;
}

ShareClaim::~ShareClaim() { Release(); }

void ShareClaim::Release() {
  if (fd_ >= 0) flock(fd_, LOCK_UN);
  fd_ = -1;
  if (!id_) return;
  auto& t = table();
  std::lock_guard guard(t.lock);
  t.open.erase(id_);
  id_ = 0;
}

namespace {

bool OpenHere(dev_t dev, ino_t ino) {
  auto& t = table();
  std::lock_guard guard(t.lock);
  for (const auto& [id, e] : t.open)
    if (e.dev == dev && e.ino == ino) return true;
  return false;
}

}  // namespace

DWORD NameChangeHold::Take(const std::string& host) {
  int fd;
  while ((fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) < 0 && errno == EINTR) {
  }
  struct stat st;
  if (fd < 0) {
    // Unreadable on the host: only this process's handles can be seen.
    return stat(host.c_str(), &st) == 0 && OpenHere(st.st_dev, st.st_ino) ? ERROR_SHARING_VIOLATION
                                                                          : 0;
  }
  fds_.push_back(fd);
  // Handles without read or write access hold no lock: the table sees them here.
  if (fstat(fd, &st) == 0 && OpenHere(st.st_dev, st.st_ino)) return ERROR_SHARING_VIOLATION;
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return rc != 0 && errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : 0;
}

NameChangeHold::~NameChangeHold() {
  for (int fd : fds_) close(fd);  // closing drops the lock
}

}  // namespace emu
