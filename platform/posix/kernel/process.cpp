// The program's process: its command line, its executable, named mutexes and
// other programs' processes.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/api_call.h"
#include "core/device.h"
#include "kernel/process.h"
#include "core/handles.h"
#include "core/wide.h"

namespace emu {
namespace {

std::u16string g_command_line;

std::u16string HandheldPath(const std::string& host) {
  std::u16string p = FromUtf8(host);
  for (auto& c : p)
    if (c == u'/') c = u'\\';
  return p;
}

DWORD CopyOut(const std::u16string& text, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() >= size) {
    std::copy_n(text.data(), size - 1, buffer);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

struct Mutex : KernelObject {
  int fd = -1;
  ~Mutex() override {
    if (fd >= 0) close(fd);
  }
};

struct Process : KernelObject {
  DWORD pid;
  explicit Process(DWORD p) : pid(p) {}
};

}  // namespace

void SetCommandLine(const std::u16string& arguments) { g_command_line = arguments; }

std::string ProgramName() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "the program" : exe.stem().string();
}

bool RunsThisProgram(unsigned long pid) {
  std::error_code ec, other_ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  auto other = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", other_ec);
  return !ec && !other_ec && self == other;
}

}  // namespace emu

LPWSTR WINAPI GetCommandLineW(void) {
  emu::ApiCall call("GetCommandLineW");
  return call.ret(emu::g_command_line.data());
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  emu::ApiCall call("GetModuleFileNameW", module, size);
  if (call.faulted()) return call.fail_injected(0u);
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return call.fail(ERROR_FILE_NOT_FOUND, 0u);
  SetLastError(0);
  return call.ret(emu::CopyOut(emu::HandheldPath(exe.string()), buffer, size));
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR) {
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000));
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

HANDLE WINAPI OpenProcess(DWORD access, BOOL, DWORD pid) {
  emu::ApiCall call("OpenProcess", emu::Hex(access), pid);
  if (call.faulted()) return call.fail_injected(static_cast<HANDLE>(nullptr));
  if (pid == 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
    return call.fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
  return call.ret(emu::AddHandle(std::make_shared<emu::Process>(pid)));
}

BOOL WINAPI QueryFullProcessImageNameW(HANDLE process, DWORD, LPWSTR buffer, PDWORD size) {
  emu::ApiCall call("QueryFullProcessImageNameW", process);
  auto p = emu::GetHandle<emu::Process>(process);
  if (!p || !size) return call.fail(ERROR_INVALID_HANDLE, FALSE);
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(p->pid) + "/exe", ec);
  if (ec) return call.fail(ERROR_ACCESS_DENIED, FALSE);
  std::u16string path = emu::HandheldPath(exe.string());
  if (path.size() >= *size) return call.fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  *size = emu::CopyOut(path, buffer, *size);
  return call.ret(TRUE);
}

// A named mutex is a lock file in the device's run/ folder: every handle
// holds a shared lock, and the mutex "exists" while anyone holds one.
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL owner, LPCWSTR name) {
  emu::ApiCall call("CreateMutexW", owner, name);
  if (call.faulted()) return call.fail_injected(static_cast<HANDLE>(nullptr));
  auto m = std::make_shared<emu::Mutex>();
  bool existed = false;
  if (name && *name) {
    std::string key;
    for (char c : emu::ToUtf8(name)) key += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    std::string file = emu::RunDir() + "/mutex-" + key.substr(0, 200) + "-" +
                       std::to_string(std::hash<std::string>{}(emu::ToUtf8(name)));
    m->fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m->fd < 0) return call.fail(ERROR_ACCESS_DENIED, static_cast<HANDLE>(nullptr));
    existed = flock(m->fd, LOCK_EX | LOCK_NB) != 0;
    flock(m->fd, LOCK_SH);
  }
  HANDLE h = emu::AddHandle(m);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
  return call.ret(h);
}
