#include "registry/store.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>

#include "core/device.h"
#include "core/atomic_file.h"
#include "core/host_error.h"

namespace emu::reg {
namespace {

struct Signature {
  bool present = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{}, ctime{};

  static Signature Of(const struct stat& st) {
    return Signature{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const Signature& o) const {
    return present == o.present && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct Cache {
  std::mutex lock;  // one caller at a time in this process; flock orders processes
  bool valid = false;
  std::string dir;
  Signature signature;
  Hive hive;
  std::string problem;  // why the last refresh failed
};

Cache& cache() {
  static Cache c;
  return c;
}

class FileLock {
 public:
  explicit FileLock(int how) {
    fd_ = open(DevicePath("registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (flock(fd_, how) != 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      break;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

bool ReadFd(int fd, std::string* out) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out->append(buf, static_cast<size_t>(n));
  }
}

LONG Unreadable(Cache& c, const std::string& path, int err) {
  c.valid = false;
  c.problem = path + ": cannot be read: " + strerror(err);
  return static_cast<LONG>(HostError(err));
}

// Brings the cache up to the file; 0 or a handheld error code.
LONG Refresh(Cache& c) {
  const std::string dir = DeviceDir();
  std::string path = dir + "/registry.reg";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) return Unreadable(c, path, errno);
    // No file: an empty registry.
    if (!(c.valid && c.dir == dir && !c.signature.present)) c.hive = Hive{};
    c.valid = true;
    c.dir = dir;
    c.signature = Signature{};
    return ERROR_SUCCESS;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    return Unreadable(c, path, err);
  }
  Signature sig = Signature::Of(st);
  if (c.valid && c.dir == dir && c.signature == sig) {
    close(fd);
    return ERROR_SUCCESS;
  }
  std::string text;
  text.reserve(static_cast<size_t>(st.st_size));
  bool ok = ReadFd(fd, &text);
  int err = errno;
  close(fd);
  if (!ok) return Unreadable(c, path, err);
  Problem problem;
  if (!Parse(text, &c.hive, &problem)) {
    c.valid = false;
    c.problem = path + ": line " + std::to_string(problem.line) + ": " + problem.what;
    return ERROR_REGISTRY_CORRUPT;
  }
  c.valid = true;
  c.dir = dir;
  c.signature = sig;
  return ERROR_SUCCESS;
}

}  // namespace

LONG Read(const std::function<LONG(const Hive&)>& read) {
  Cache& c = cache();
  std::lock_guard guard(c.lock);
  // A device folder we may not write to still has a readable registry: read
  // without the lock then.
  FileLock lock(LOCK_SH);
  if (LONG rc = Refresh(c)) return rc;
  return read(c.hive);
}

LONG Modify(const std::function<LONG(Hive&, bool* changed)>& change) {
  Cache& c = cache();
  std::lock_guard guard(c.lock);
  FileLock lock(LOCK_EX);
  if (lock.error()) return static_cast<LONG>(HostError(lock.error()));
  if (LONG rc = Refresh(c)) return rc;
  // Changed in place: a change is a few lines of the file, a copy would be
  // all of it. When the write fails the cache is read afresh next time.
  bool changed = false;
  if (LONG rc = change(c.hive, &changed)) return rc;
  if (!changed) return ERROR_SUCCESS;
  std::string path = DeviceDir() + "/registry.reg";
  if (int err = WriteAtomically(path, Serialize(c.hive))) {
    c.valid = false;
    return static_cast<LONG>(HostError(err));
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0)
    c.signature = Signature::Of(st);
  else
    c.valid = false;
  return ERROR_SUCCESS;
}

std::string CheckStore() {
  Cache& c = cache();
  std::lock_guard guard(c.lock);
  FileLock lock(LOCK_SH);
  return Refresh(c) == ERROR_SUCCESS ? std::string() : c.problem;
}

}  // namespace emu::reg
