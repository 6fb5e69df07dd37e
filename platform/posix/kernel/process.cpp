// The program's process: its command line, its executable, named mutexes and
// the snapshot of the handheld's processes.
#include <tlhelp32.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

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

// A process of the handheld: this one, or another program with a window or
// a foreground channel in run/ (named by its pid).
struct ProcessEntry {
  DWORD pid;
  std::u16string exe;
};

struct Snapshot : KernelObject {
  std::vector<ProcessEntry> entries;
  size_t next = 0;
};

std::u16string ExecutableOf(pid_t pid) {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
  return ec ? std::u16string() : HandheldPath(exe.string());
}

std::vector<ProcessEntry> RunningProcesses() {
  std::set<pid_t> pids{getpid()};
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(RunDir(), ec)) {
    std::string name = entry.path().filename().string();
    size_t digits = name.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || name[digits] != '.') continue;
    pid_t pid = static_cast<pid_t>(strtol(name.c_str(), nullptr, 10));
    if (kill(pid, 0) == 0 || errno == EPERM) pids.insert(pid);
  }
  std::vector<ProcessEntry> out;
  for (pid_t pid : pids) {
    std::u16string exe = ExecutableOf(pid);
    if (!exe.empty()) out.push_back({static_cast<DWORD>(pid), exe});
  }
  return out;
}

BOOL Fill(emu::ApiCall& call, HANDLE snapshot, LPPROCESSENTRY32 entry, bool first) {
  auto s = GetHandle<Snapshot>(snapshot);
  if (!s) return call.fail(ERROR_INVALID_HANDLE, FALSE);
  if (!entry || entry->dwSize < sizeof(PROCESSENTRY32))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  if (first) s->next = 0;
  if (s->next >= s->entries.size()) return call.fail(ERROR_NO_MORE_FILES, FALSE);
  const ProcessEntry& p = s->entries[s->next++];
  DWORD size = entry->dwSize;
  memset(entry, 0, sizeof(PROCESSENTRY32));
  entry->dwSize = size;
  entry->cntUsage = 1;
  entry->th32ProcessID = p.pid;
  entry->cntThreads = 1;
  size_t n = std::min(p.exe.size(), static_cast<size_t>(MAX_PATH - 1));
  std::copy_n(p.exe.data(), n, entry->szExeFile);
  call.note("pid", p.pid);
  return call.ret(TRUE);
}

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

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD pid) {
  emu::ApiCall call("CreateToolhelp32Snapshot", emu::Hex(flags), pid);
  if (call.faulted()) return call.fail_injected(INVALID_HANDLE_VALUE);
  if (!(flags & TH32CS_SNAPPROCESS))
    return call.fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  auto snapshot = std::make_shared<emu::Snapshot>();
  snapshot->entries = emu::RunningProcesses();
  return call.ret(emu::AddHandle(snapshot));
}

BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  emu::ApiCall call("Process32First", snapshot);
  if (call.faulted()) return call.fail_injected(FALSE);
  return emu::Fill(call, snapshot, entry, true);
}

BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  emu::ApiCall call("Process32Next", snapshot);
  if (call.faulted()) return call.fail_injected(FALSE);
  return emu::Fill(call, snapshot, entry, false);
}

BOOL WINAPI CloseToolhelp32Snapshot(HANDLE snapshot) {
  emu::ApiCall call("CloseToolhelp32Snapshot", snapshot);
  if (!emu::GetHandle<emu::Snapshot>(snapshot) || !emu::RemoveHandle(snapshot))
    return call.fail(ERROR_INVALID_HANDLE, FALSE);
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
