#include "device_folder.h"

namespace handheld {
namespace {

std::wstring Variable(LPCWSTR name) {
  WCHAR value[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

// "COM7" names the serial port in every folder of a plain path, so paths
// into the device folder take the verbatim form "\\?\C:\...", which
// names files as they are. It needs a full path with backslashes.
std::wstring Verbatim(const std::wstring& path) {
  WCHAR full[MAX_PATH];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return path;
  std::wstring out(full, n);
  return out.size() > 2 && out[1] == L':' ? L"\\\\?\\" + out : out;
}

// Makes each missing folder of the verbatim path in turn.
void MakeFolders(const std::wstring& path) {
  size_t root = path.find(L":\\");
  if (root == std::wstring::npos) return;
  for (size_t at = path.find(L'\\', root + 2); at != std::wstring::npos;
       at = path.find(L'\\', at + 1))
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
}

}  // namespace

bool IsFolder(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring DeviceFolder() {
  std::wstring folder = Variable(L"SKYLODE_DEVICE");
  if (folder.empty()) {
    std::wstring local = Variable(L"LOCALAPPDATA");
    if (local.empty()) return std::wstring();
    folder = local + L"\\Skylode\\device";
  }
  folder = Verbatim(folder);
  if (!IsFolder(folder)) MakeFolders(folder + L"\\dev\\COM7");
  return folder;
}

std::wstring DevicePath(const std::wstring& relative) { return DeviceFolder() + L"\\" + relative; }

}  // namespace handheld
