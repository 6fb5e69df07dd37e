#include "fixtures.h"

#include <shlobj.h>

#include "check.h"

namespace wine_test {

const wchar_t kTarget[] = L"C:\\windows\\ZUZIdarudaZozo.ee";
const wchar_t kTemporary[] = L"C:\\windows\\tmp";

namespace {
const wchar_t kClientKey[] = L"SOFTWARE\\ETEN\\AGPRSDownloadClient";
}

Options& Settings() {
  static Options options;
  return options;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string Url(const std::string& listener, const std::string& path) {
  int port = Settings().ports[listener];
  std::string scheme = listener == "http" ? "http" : "https";
  return scheme + "://127.0.0.1:" + std::to_string(port) + path;
}

std::string Pattern(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i % 251);
  return body;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(f);
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Verbatim ("\\?\Z:\..."), as "COM7" in a plain path names the serial port.
std::wstring DevicePath(const std::wstring& relative) {
  WCHAR folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"SKYLODE_DEVICE", folder, MAX_PATH);
  return L"\\\\?\\" + std::wstring(folder) + L"\\" + relative;
}

void ResetDevice() {
  for (const wchar_t* name : {L"dev\\COM7\\ephemeris", L"dev\\COM7\\validity",
                              L"dev\\COM7\\load-error", L"dev\\COM7\\validity-error", L"offline"})
    DeleteFileW(DevicePath(name).c_str());
  CreateDirectoryW(DevicePath(L"dev").c_str(), nullptr);
  CreateDirectoryW(DevicePath(L"dev\\COM7").c_str(), nullptr);
}

std::string Record(int year, int month, int day, int hour, int minute) {
  INT32 v[5] = {year, month, day, hour, minute};
  return std::string(reinterpret_cast<const char*>(v), sizeof v);
}

void RemoveClientKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClientKey); }

void MakeClientKey() {
  RemoveClientKey();
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClientKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS)
    RegCloseKey(key);
}

void SetRememberedValue(DWORD type, const std::string& bytes) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClientKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    Fail(__FILE__, __LINE__, "the client key is missing");
    return;
  }
  RegSetValueExW(key, L"url", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

std::string TextValue(const std::string& text) {
  std::wstring wide = Wide(text);
  return std::string(reinterpret_cast<const char*>(wide.c_str()),
                     (wide.size() + 1) * sizeof(wchar_t));
}

void SetRememberedAddress(const std::string& address) {
  SetRememberedValue(REG_SZ, TextValue(address));
}

std::string RememberedAddress() {
  WCHAR value[2048] = {};
  DWORD size = sizeof value - sizeof(WCHAR);
  DWORD type = REG_NONE;
  LONG status = RegGetValueW(HKEY_LOCAL_MACHINE, kClientKey, L"url", RRF_RT_ANY | RRF_NOEXPAND,
                             &type, value, &size);
  if (status != ERROR_SUCCESS) return "<none>";
  if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
  return Narrow(value);
}

std::wstring LauncherShortcut() {
  WCHAR folder[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, FALSE);
  return std::wstring(folder) + L"\\Skylode auto.lnk";
}

}  // namespace wine_test
