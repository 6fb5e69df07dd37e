// The receiver's COM-port driver: "COMn:" is the folder dev\COMn\ of the
// device folder, as on the emulated handheld. A port handle is the open
// dev\COMn\lock file, opened without sharing, so one program at a time
// talks to the receiver.
#include <time.h>

#include <map>
#include <mutex>
#include <string>

#include "device_folder.h"
#include "handheld_routing.h"

#undef CreateFileW
#undef DeviceIoControl
#undef CloseHandle

namespace {

constexpr DWORD kIoctlLoadEphemeris = 0x00220051;
constexpr DWORD kIoctlEphemerisValidity = 0x00220052;
constexpr DWORD kValidityBytes = 20;  // five little-endian int32: year .. minute, UTC
constexpr int kValidDays = 7;         // how long a load stays valid

std::mutex g_lock;
std::map<HANDLE, std::wstring> g_ports;  // port handle -> its folder

// "COM7:" (any case): 7; anything else: -1.
int PortNumber(LPCWSTR name) {
  if (!name || _wcsnicmp(name, L"COM", 3) != 0) return -1;
  int n = 0;
  const WCHAR* p = name + 3;
  if (*p < L'0' || *p > L'9') return -1;
  for (; *p >= L'0' && *p <= L'9'; ++p) n = n * 10 + (*p - L'0');
  return p[0] == L':' && p[1] == 0 ? n : -1;
}

std::wstring PortFolder(HANDLE h) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_ports.find(h);
  return it == g_ports.end() ? std::wstring() : it->second;
}

bool ReadWhole(const std::wstring& path, std::string* bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes->append(buffer, got);
  CloseHandle(f);
  return true;
}

// Written beside and moved over, so a reader never sees half a file.
DWORD WriteWhole(const std::wstring& path, const void* data, DWORD size) {
  std::wstring temporary = path + L".new";
  HANDLE f = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  BOOL ok = WriteFile(f, data, size, &written, nullptr) && written == size;
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(f);
  if (ok && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
    error = GetLastError();
  if (error) DeleteFileW(temporary.c_str());
  return error;
}

// A failure the test fixture asks for: the decimal code in the file, if it
// exists; an unreadable or zero code still fails.
bool InjectedError(const std::wstring& path, DWORD* code) {
  std::string text;
  if (!ReadWhole(path, &text)) return false;
  unsigned long value = strtoul(text.c_str(), nullptr, 10);
  *code = value ? static_cast<DWORD>(value) : ERROR_GEN_FAILURE;
  return true;
}

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

BOOL Load(const std::wstring& folder, LPVOID in, DWORD in_size) {
  DWORD code;
  if (InjectedError(folder + L"\\load-error", &code)) return Fail(code);
  if (!in || in_size == 0) return Fail(ERROR_INVALID_PARAMETER);
  if (DWORD error = WriteWhole(folder + L"\\ephemeris", in, in_size)) return Fail(error);
  __time64_t until = _time64(nullptr) + kValidDays * 24 * 60 * 60;
  struct tm utc;
  if (_gmtime64_s(&utc, &until) != 0) return Fail(ERROR_GEN_FAILURE);
  INT32 record[5] = {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min};
  if (DWORD error = WriteWhole(folder + L"\\validity", record, sizeof record)) return Fail(error);
  return TRUE;
}

BOOL Validity(const std::wstring& folder, LPVOID out, DWORD out_size, LPDWORD returned) {
  DWORD code;
  if (InjectedError(folder + L"\\validity-error", &code)) return Fail(code);
  if (!out && out_size > 0) return Fail(ERROR_INVALID_PARAMETER);
  std::string record;
  if (!ReadWhole(folder + L"\\validity", &record)) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return Fail(error);
    record.clear();  // nothing loaded yet: nothing to report
  }
  DWORD n = kValidityBytes;
  if (record.size() < n) n = static_cast<DWORD>(record.size());
  if (out_size < n) n = out_size;
  if (n) memcpy(out, record.data(), n);
  if (returned) *returned = n;
  return TRUE;
}

}  // namespace

extern "C" HANDLE WINAPI HandheldCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                             LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                             DWORD flags, HANDLE template_file) {
  int port = PortNumber(name);
  if (port < 0)
    return CreateFileW(name, access, share, security, disposition, flags, template_file);
  std::wstring folder = handheld::DevicePath(L"dev\\COM" + std::to_wstring(port));
  if (!handheld::IsFolder(folder)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = CreateFileW((folder + L"\\lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // Held by another handle: the driver's "in use".
    if (GetLastError() == ERROR_SHARING_VIOLATION) SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);  // OPEN_ALWAYS leaves ERROR_ALREADY_EXISTS
  std::lock_guard<std::mutex> guard(g_lock);
  g_ports[h] = folder;
  return h;
}

extern "C" BOOL WINAPI HandheldDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size,
                                               LPVOID out, DWORD out_size, LPDWORD returned,
                                               LPOVERLAPPED overlapped) {
  std::wstring folder = PortFolder(device);
  if (folder.empty())
    return DeviceIoControl(device, code, in, in_size, out, out_size, returned, overlapped);
  if (returned) *returned = 0;
  switch (code) {
    case kIoctlLoadEphemeris:
      return Load(folder, in, in_size);
    case kIoctlEphemerisValidity:
      return Validity(folder, out, out_size, returned);
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
}

extern "C" BOOL WINAPI HandheldCloseHandle(HANDLE handle) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_ports.erase(handle);
  }
  return CloseHandle(handle);
}
