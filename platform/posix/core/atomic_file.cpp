#include "core/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace emu {
namespace {

int WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

void SyncFolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

int WriteAtomically(const std::string& path, const std::string& bytes) {
  std::string tmp = path + "." + std::to_string(getpid()) + ".tmp";
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return errno;
  int err = WriteAll(fd, bytes);
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(tmp.c_str());
    return err;
  }
  SyncFolderOf(path);
  return 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes->clear();
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      close(fd);
      errno = err;
      return false;
    }
    if (n == 0) break;
    bytes->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

}  // namespace emu
