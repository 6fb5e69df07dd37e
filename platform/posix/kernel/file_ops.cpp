// Calls on files by name: delete, move, replace, attributes, new folders.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/api_call.h"
#include "kernel/share_modes.h"
#include "kernel/paths.h"
#include "core/wide.h"
#include "core/host_error.h"

namespace emu {
namespace {

std::string Parent(const std::string& host) { return host.substr(0, host.rfind('/')); }

// The last component of a handheld path, as written.
std::u16string LastName(LPCWSTR path) {
  std::u16string s(path);
  while (!s.empty() && (s.back() == u'\\' || s.back() == u'/')) s.pop_back();
  size_t slash = s.find_last_of(u"\\/");
  return slash == std::u16string::npos ? s : s.substr(slash + 1);
}

void SyncFolder(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Renames without replacing; EEXIST when the target exists.
int RenameNoReplace(const std::string& from, const std::string& to, bool is_dir) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A host file system without RENAME_NOREPLACE: link(2) refuses an existing target.
  if (is_dir) {
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  return unlink(from.c_str()) == 0 ? 0 : errno;
}

BOOL Move(ApiCall& call, LPCWSTR from, LPCWSTR to) {
  if (!from || !to) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  HostPath src = ResolvePath(from);
  if (src.error) return call.fail(src.error, FALSE);
  if (!src.exists) return call.fail(ERROR_FILE_NOT_FOUND, FALSE);
  HostPath dst = ResolvePath(to);
  if (dst.error) return call.fail(dst.error, FALSE);
  if (src.is_root || dst.is_root) return call.fail(ERROR_ACCESS_DENIED, FALSE);
  NameChangeHold hold;
  if (!src.is_dir && hold.Take(src.host)) return call.fail(ERROR_SHARING_VIOLATION, FALSE);

  int err = 0;
  if (dst.exists && dst.host == src.host) {
    // The same name, perhaps in another case: take the case given.
    std::string renamed = Parent(src.host) + "/" + ToUtf8(LastName(to));
    if (renamed != src.host && rename(src.host.c_str(), renamed.c_str()) != 0) err = errno;
  } else if (dst.exists) {
    return call.fail(ERROR_ALREADY_EXISTS, FALSE);  // the new name must be free
  } else {
    err = RenameNoReplace(src.host, dst.host, src.is_dir);
  }
  if (err == EEXIST) return call.fail(ERROR_ALREADY_EXISTS, FALSE);
  if (err == ENOENT) return call.fail(ERROR_PATH_NOT_FOUND, FALSE);
  if (err) return call.fail(HostError(err), FALSE);
  return call.ret(TRUE);
}

// Both files must exist; the source's content takes the destination's name in
// one step, so a failure leaves both as they were.
BOOL Replace(ApiCall& call, LPCWSTR dest, LPCWSTR source) {
  if (!dest || !source) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  HostPath dst = ResolvePath(dest);
  if (dst.error) return call.fail(dst.error, FALSE);
  HostPath src = ResolvePath(source);
  if (src.error) return call.fail(src.error, FALSE);
  if (!dst.exists || !src.exists) return call.fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (dst.is_dir || src.is_dir || dst.host == src.host)
    return call.fail(ERROR_ACCESS_DENIED, FALSE);
  NameChangeHold hold;
  if (hold.Take(src.host) || hold.Take(dst.host)) return call.fail(ERROR_SHARING_VIOLATION, FALSE);
  if (rename(src.host.c_str(), dst.host.c_str()) != 0) return call.fail(HostError(errno), FALSE);
  SyncFolder(Parent(dst.host));
  return call.ret(TRUE);
}

}  // namespace
}  // namespace emu

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  emu::ApiCall call("DeleteFileW", lpFileName);
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::HostPath path = emu::ResolvePath(lpFileName);
  if (path.error) return call.fail(path.error, FALSE);
  if (!path.exists) return call.fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (path.is_dir) return call.fail(ERROR_ACCESS_DENIED, FALSE);
  // As on the handheld, a file open in any program cannot be deleted.
  emu::NameChangeHold hold;
  if (hold.Take(path.host)) return call.fail(ERROR_SHARING_VIOLATION, FALSE);
  if (unlink(path.host.c_str()) != 0) return call.fail(emu::HostError(errno), FALSE);
  return call.ret(TRUE);
}

BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
  emu::ApiCall call("MoveFileW", lpExistingFileName, lpNewFileName);
  if (call.faulted()) return call.fail_injected(FALSE);
  return emu::Move(call, lpExistingFileName, lpNewFileName);
}

BOOL WINAPI DeleteAndRenameFile(LPCWSTR lpszDestFile, LPCWSTR lpszSourceFile) {
  emu::ApiCall call("DeleteAndRenameFile", lpszDestFile, lpszSourceFile);
  if (call.faulted()) return call.fail_injected(FALSE);
  return emu::Replace(call, lpszDestFile, lpszSourceFile);
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  emu::ApiCall call("GetFileAttributesW", lpFileName);
  if (call.faulted()) return call.fail_injected(INVALID_FILE_ATTRIBUTES);
  emu::HostPath path = emu::ResolvePath(lpFileName);
  if (path.error) return call.fail(path.error, INVALID_FILE_ATTRIBUTES);
  struct stat st;
  if (!path.exists || stat(path.host.c_str(), &st) != 0)
    return call.fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  if (S_ISDIR(st.st_mode)) return call.ret(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  if (!(st.st_mode & S_IWUSR)) return call.ret(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return call.ret(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  emu::ApiCall call("CreateDirectoryW", lpPathName);
  (void)lpSecurityAttributes;
  if (call.faulted()) return call.fail_injected(FALSE);
  emu::HostPath path = emu::ResolvePath(lpPathName);
  if (path.error) return call.fail(path.error, FALSE);
  if (path.exists) return call.fail(ERROR_ALREADY_EXISTS, FALSE);
  if (mkdir(path.host.c_str(), 0755) != 0) {
    DWORD error = errno == EEXIST   ? ERROR_ALREADY_EXISTS
                  : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                    : emu::HostError(errno);
    return call.fail(error, FALSE);
  }
  return call.ret(TRUE);
}
