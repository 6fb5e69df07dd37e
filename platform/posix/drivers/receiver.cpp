#include "drivers/receiver.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/api_call.h"
#include "core/device.h"
#include "core/atomic_file.h"
#include "core/handles.h"
#include "core/host_error.h"

namespace emu {
namespace {

class PortObject : public KernelObject {
 public:
  PortObject(std::string dir, int lock_fd) : dir_(std::move(dir)), lock_fd_(lock_fd) {}
  ~PortObject() override { close(lock_fd_); }  // closing drops the flock
  std::string Path(const char* name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
  int lock_fd_;
};

// A failure the test rig asks for: the decimal code in `path`, if present.
// Anything unreadable still fails, so a failure is never reported as success.
bool InjectedError(const std::string& path, DWORD* code) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return false;
  char* end = nullptr;
  unsigned long value = strtoul(text.c_str(), &end, 10);
  *code = (end == text.c_str() || value == 0) ? ERROR_GEN_FAILURE : static_cast<DWORD>(value);
  return true;
}

void PutInt32(std::string* out, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

// The moment of the load plus the validity period, in UTC, to the minute.
std::string ValidityRecord() {
  time_t until = time(nullptr) + kEphemerisValidDays * 24 * 60 * 60;
  tm utc{};
  gmtime_r(&until, &utc);
  std::string out;
  PutInt32(&out, utc.tm_year + 1900);
  PutInt32(&out, utc.tm_mon + 1);
  PutInt32(&out, utc.tm_mday);
  PutInt32(&out, utc.tm_hour);
  PutInt32(&out, utc.tm_min);
  return out;
}

BOOL Load(ApiCall& call, const PortObject& port, LPVOID in, DWORD in_size) {
  DWORD code;
  if (InjectedError(port.Path("load-error"), &code)) return call.fail(code, FALSE);
  if (!in || in_size == 0) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  std::string data(static_cast<const char*>(in), in_size);
  if (int err = WriteAtomically(port.Path("ephemeris"), data))
    return call.fail(HostError(err), FALSE);
  if (int err = WriteAtomically(port.Path("validity"), ValidityRecord()))
    return call.fail(HostError(err), FALSE);
  return call.ret(TRUE);
}

BOOL Validity(ApiCall& call, const PortObject& port, LPVOID out, DWORD out_size, LPDWORD returned) {
  DWORD code;
  if (InjectedError(port.Path("validity-error"), &code)) return call.fail(code, FALSE);
  if (!out && out_size > 0) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  std::string record;
  if (!ReadWholeFile(port.Path("validity"), &record)) {
    if (errno != ENOENT) return call.fail(HostError(errno), FALSE);
    record.clear();  // nothing loaded yet: nothing to report
  }
  size_t n = std::min<size_t>({kValidityBytes, record.size(), out_size});
  if (n) memcpy(out, record.data(), n);
  if (returned) *returned = static_cast<DWORD>(n);
  call.note("returned", n);
  return call.ret(TRUE);
}

}  // namespace

HANDLE OpenPort(int n, DWORD* error) {
  std::string dir = DevicePath("dev/COM" + std::to_string(n));
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  int fd = open((dir + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = HostError(errno);
    return INVALID_HANDLE_VALUE;
  }
  // flock belongs to the open file description, so a second handle of this
  // process conflicts just as another process does.
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    *error = errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : HostError(errno);
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  return AddHandle(std::make_shared<PortObject>(dir, fd));
}

bool IsPortHandle(HANDLE h) { return GetHandle<PortObject>(h) != nullptr; }

}  // namespace emu

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
  emu::ApiCall call("DeviceIoControl", hDevice, emu::Hex(dwIoControlCode), nInBufferSize,
                    nOutBufferSize);
  (void)lpOverlapped;
  if (call.faulted()) return call.fail_injected(FALSE);
  auto object = emu::FindHandle(hDevice);
  if (!object) return call.fail(ERROR_INVALID_HANDLE, FALSE);
  auto port = std::dynamic_pointer_cast<emu::PortObject>(object);
  if (!port) return call.fail(ERROR_INVALID_FUNCTION, FALSE);
  if (lpBytesReturned) *lpBytesReturned = 0;
  switch (dwIoControlCode) {
    case emu::kIoctlLoadEphemeris:
      return emu::Load(call, *port, lpInBuffer, nInBufferSize);
    case emu::kIoctlEphemerisValidity:
      return emu::Validity(call, *port, lpOutBuffer, nOutBufferSize, lpBytesReturned);
    default:
      return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  }
}
