// What the cases prepare and inspect: the loopback server's addresses, the
// device folder (the receiver), the prefix's files and Wine's registry.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace wine_test {

// The loopback server's listeners ("http", "https", "https_expired",
// "https_wrongname", "https_unknownca") and its test CA's PEM file.
struct Options {
  std::map<std::string, int> ports;
  std::wstring ca;
};
Options& Settings();

std::wstring Wide(const std::string& utf8);

// "<scheme>://127.0.0.1:<port of the listener><path>".
std::string Url(const std::string& listener, const std::string& path);
// The body of the server's /bytes/N: byte i is i % 251.
std::string Pattern(size_t size);

// The downloaded file, as the handheld names it, on drive C:.
extern const wchar_t kTarget[];
extern const wchar_t kTemporary[];

// Files.
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// The device folder (SKYLODE_DEVICE) and its receiver at COM7, emptied.
std::wstring DevicePath(const std::wstring& relative);
void ResetDevice();
// The receiver's validity record: five little-endian 32-bit numbers.
std::string Record(int year, int month, int day, int hour, int minute);

// The download client's key: absent, or present with these values.
void RemoveClientKey();
void MakeClientKey();
void SetRememberedValue(DWORD type, const std::string& bytes);
void SetRememberedAddress(const std::string& address);  // REG_SZ with its NUL
// The bytes of a registry text: UTF-16 with its terminator.
std::string TextValue(const std::string& text);
// The remembered address as stored (type REG_SZ), or "<none>" / "<type N>".
std::string RememberedAddress();

// The launcher shortcut in the Programs folder.
std::wstring LauncherShortcut();

}  // namespace wine_test
