// CreateFileW and the calls on an open file.
#include "kernel/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/api_call.h"
#include "kernel/paths.h"
#include "drivers/receiver.h"
#include "core/host_error.h"

namespace emu {

FileObject::~FileObject() {
  share_.Release();
  close(fd_);
}

namespace {

bool IsPathName(LPCWSTR name) { return name[0] == u'\\' || name[0] == u'/'; }

// The error for a handle that is not an open file.
DWORD NotAFile(HANDLE h) { return IsPortHandle(h) ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE; }

}  // namespace
}  // namespace emu

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  emu::ApiCall call("CreateFileW", lpFileName, emu::Hex(dwDesiredAccess), emu::Hex(dwShareMode),
                    dwCreationDisposition, emu::Hex(dwFlagsAndAttributes));
  (void)lpSecurityAttributes;
  (void)hTemplateFile;
  if (call.faulted()) return call.fail_injected(INVALID_HANDLE_VALUE);
  const DWORD disp = dwCreationDisposition;
  if (!lpFileName || disp < CREATE_NEW || disp > TRUNCATE_EXISTING)
    return call.fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);

  if (!emu::IsPathName(lpFileName)) {
    if (int port = emu::PortNumber(lpFileName); port >= 0) {
      DWORD error = 0;
      HANDLE h = emu::OpenPort(port, &error);
      if (h == INVALID_HANDLE_VALUE) return call.fail(error, h);
      SetLastError(0);
      return call.ret(h);
    }
  }
  if (disp == TRUNCATE_EXISTING && !(dwDesiredAccess & GENERIC_WRITE))
    return call.fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);

  emu::HostPath path = emu::ResolvePath(lpFileName);
  if (path.error) return call.fail(path.error, INVALID_HANDLE_VALUE);
  if (path.is_dir) return call.fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  if (!path.exists && (disp == OPEN_EXISTING || disp == TRUNCATE_EXISTING))
    return call.fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (path.exists && disp == CREATE_NEW) return call.fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);

  const bool truncate = path.exists && (disp == CREATE_ALWAYS || disp == TRUNCATE_EXISTING);
  const bool reads = dwDesiredAccess & GENERIC_READ;
  const bool writes = (dwDesiredAccess & GENERIC_WRITE) || truncate;
  int flags = O_CLOEXEC | O_NOFOLLOW | (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY);
  if (disp == CREATE_NEW) flags |= O_CREAT | O_EXCL;
  if (disp == CREATE_ALWAYS || disp == OPEN_ALWAYS) flags |= O_CREAT;
  int fd;
  while ((fd = open(path.host.c_str(), flags, 0644)) < 0 && errno == EINTR) {
  }
  if (fd < 0) {
    // ENOENT now means a folder of the path went away since it was resolved.
    DWORD error =
        errno == ENOENT && (flags & O_CREAT) ? ERROR_PATH_NOT_FOUND : emu::HostError(errno);
    return call.fail(error, INVALID_HANDLE_VALUE);
  }
  auto file = std::make_shared<emu::FileObject>(fd, dwDesiredAccess);
  struct stat st;
  if (fstat(fd, &st) != 0) return call.fail(emu::HostError(errno), INVALID_HANDLE_VALUE);
  if (S_ISDIR(st.st_mode)) return call.fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  // The share check comes before truncating, so a refused open changes nothing.
  if (DWORD error = file->share().Claim(fd, st.st_dev, st.st_ino, dwDesiredAccess, dwShareMode))
    return call.fail(error, INVALID_HANDLE_VALUE);
  if (truncate && ftruncate(fd, 0) != 0)
    return call.fail(emu::HostError(errno), INVALID_HANDLE_VALUE);

  HANDLE h = emu::AddHandle(file);
  SetLastError(path.exists && (disp == CREATE_ALWAYS || disp == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                             : ERROR_SUCCESS);
  return call.ret(h);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  emu::ApiCall call("ReadFile", hFile, nNumberOfBytesToRead);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (call.faulted()) return call.fail_injected(FALSE);
  auto file = emu::GetHandle<emu::FileObject>(hFile);
  if (!file) return call.fail(emu::NotAFile(hFile), FALSE);
  if ((!lpNumberOfBytesRead && !lpOverlapped) || (!lpBuffer && nNumberOfBytesToRead))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!(file->access() & GENERIC_READ)) return call.fail(ERROR_ACCESS_DENIED, FALSE);
  ssize_t n;
  do {
    n = lpOverlapped
            ? pread(file->fd(), lpBuffer, nNumberOfBytesToRead,
                    (static_cast<off_t>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset)
            : read(file->fd(), lpBuffer, nNumberOfBytesToRead);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return call.fail(emu::HostError(errno), FALSE);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(n);
  call.note("read", n);
  return call.ret(TRUE);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  emu::ApiCall call("WriteFile", hFile, nNumberOfBytesToWrite);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (call.faulted()) return call.fail_injected(FALSE);
  auto file = emu::GetHandle<emu::FileObject>(hFile);
  if (!file) return call.fail(emu::NotAFile(hFile), FALSE);
  if ((!lpNumberOfBytesWritten && !lpOverlapped) || (!lpBuffer && nNumberOfBytesToWrite))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!(file->access() & GENERIC_WRITE)) return call.fail(ERROR_ACCESS_DENIED, FALSE);
  ssize_t n;
  do {
    n = lpOverlapped
            ? pwrite(file->fd(), lpBuffer, nNumberOfBytesToWrite,
                     (static_cast<off_t>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset)
            : write(file->fd(), lpBuffer, nNumberOfBytesToWrite);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return call.fail(emu::HostError(errno), FALSE);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(n);
  call.note("written", n);
  return call.ret(TRUE);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  emu::ApiCall call("GetFileSize", hFile);
  if (call.faulted()) return call.fail_injected(INVALID_FILE_SIZE);
  auto file = emu::GetHandle<emu::FileObject>(hFile);
  if (!file) return call.fail(emu::NotAFile(hFile), INVALID_FILE_SIZE);
  struct stat st;
  if (fstat(file->fd(), &st) != 0) return call.fail(emu::HostError(errno), INVALID_FILE_SIZE);
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  // A size whose low part is 0xFFFFFFFF is told from a failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return call.ret(static_cast<DWORD>(size));
}
