// The registry calls over registry.reg (see registry/store.h).
#include <cstring>
#include <map>
#include <optional>
#include <mutex>
#include <string>

#include "core/api_call.h"
#include "registry/store.h"
#include "core/wide.h"

namespace emu::reg {
namespace {

constexpr DWORD kCreatedNewKey = 1;      // REG_CREATED_NEW_KEY
constexpr DWORD kOpenedExistingKey = 2;  // REG_OPENED_EXISTING_KEY

struct OpenKeys {
  std::mutex lock;
  std::map<uintptr_t, std::u16string> paths;
  uintptr_t next = 0x1000;
};

OpenKeys& open_keys() {
  static OpenKeys k;
  return k;
}

HKEY NewKeyHandle(const std::u16string& path) {
  auto& k = open_keys();
  std::lock_guard guard(k.lock);
  uintptr_t value = k.next;
  k.next += 4;
  k.paths[value] = path;
  return reinterpret_cast<HKEY>(value);
}

// The full path of `key` plus `sub`: 0, ERROR_INVALID_HANDLE or
// ERROR_INVALID_PARAMETER (a name the file could not hold).
LONG KeyPath(HKEY key, LPCWSTR sub, std::u16string* path) {
  if (const char16_t* root = RootName(key)) {
    *path = root;
  } else {
    auto& k = open_keys();
    std::lock_guard guard(k.lock);
    auto it = k.paths.find(reinterpret_cast<uintptr_t>(key));
    if (it == k.paths.end()) return ERROR_INVALID_HANDLE;
    *path = it->second;
  }
  std::vector<std::u16string> parts;
  if (!SplitKeyPath(sub ? sub : u"", false, &parts)) return ERROR_INVALID_PARAMETER;
  for (const auto& p : parts) *path += u"\\" + p;
  return ERROR_SUCCESS;
}

LONG Finish(ApiCall& call, LONG rc) {
  if (rc != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(rc));
  return call.ret(rc);
}

LONG Injected(ApiCall& call) {
  SetLastError(call.fault_code());
  return call.ret(static_cast<LONG>(call.fault_code()));
}

}  // namespace
}  // namespace emu::reg

using namespace emu::reg;

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  emu::ApiCall call("RegOpenKeyExW", hKey, lpSubKey, emu::Hex(samDesired));
  (void)ulOptions;
  if (phkResult) *phkResult = nullptr;
  if (call.faulted()) return Injected(call);
  if (!phkResult) return Finish(call, ERROR_INVALID_PARAMETER);
  std::u16string path;
  if (LONG rc = KeyPath(hKey, lpSubKey, &path)) return Finish(call, rc);
  LONG rc = Read([&](const Hive& hive) -> LONG {
    if (!hive.Exists(path)) return ERROR_FILE_NOT_FOUND;
    path = hive.Canonical(path);
    return ERROR_SUCCESS;
  });
  if (rc == ERROR_SUCCESS) {
    *phkResult = NewKeyHandle(path);
    call.note("key", *phkResult);
  }
  return Finish(call, rc);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  emu::ApiCall call("RegCreateKeyExW", hKey, lpSubKey, emu::Hex(samDesired));
  (void)Reserved, (void)lpClass, (void)dwOptions, (void)lpSecurityAttributes;
  if (phkResult) *phkResult = nullptr;
  if (call.faulted()) return Injected(call);
  if (!phkResult) return Finish(call, ERROR_INVALID_PARAMETER);
  std::u16string path;
  if (LONG rc = KeyPath(hKey, lpSubKey, &path)) return Finish(call, rc);
  DWORD disposition = kOpenedExistingKey;
  LONG rc = Modify([&](Hive& hive, bool* changed) -> LONG {
    if (hive.CreateKey(path)) {
      disposition = kCreatedNewKey;
      *changed = true;
    }
    path = hive.Canonical(path);
    return ERROR_SUCCESS;
  });
  if (rc == ERROR_SUCCESS) {
    *phkResult = NewKeyHandle(path);
    if (lpdwDisposition) *lpdwDisposition = disposition;
    call.note("key", *phkResult);
    call.note("disposition", disposition);
  }
  return Finish(call, rc);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  emu::ApiCall call("RegQueryValueExW", hKey, lpValueName, lpcbData ? *lpcbData : 0);
  if (call.faulted()) return Injected(call);
  if (lpReserved || (lpData && !lpcbData)) return Finish(call, ERROR_INVALID_PARAMETER);
  std::u16string path;
  if (LONG rc = KeyPath(hKey, nullptr, &path)) return Finish(call, rc);
  std::u16string name = lpValueName ? lpValueName : u"";
  Value found;
  LONG rc = Read([&](const Hive& hive) -> LONG {
    std::optional<Value> v = hive.FindValue(path, name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    found = *v;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return Finish(call, rc);
  const DWORD size = static_cast<DWORD>(found.data.size());
  if (lpType) *lpType = found.type;
  call.note("type", found.type);
  call.note("size", size);
  if (lpData) {
    if (*lpcbData < size)
      rc = ERROR_MORE_DATA;
    else if (size)
      memcpy(lpData, found.data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return Finish(call, rc);
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
  emu::ApiCall call("RegSetValueExW", hKey, lpValueName, dwType, cbData);
  (void)Reserved;
  if (call.faulted()) return Injected(call);
  std::u16string name = lpValueName ? lpValueName : u"";
  // A value name the file can hold (one line of UTF-8).
  if ((!lpData && cbData) || !Writable(name)) return Finish(call, ERROR_INVALID_PARAMETER);
  std::u16string path;
  if (LONG rc = KeyPath(hKey, nullptr, &path)) return Finish(call, rc);
  std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
  LONG rc = Modify([&](Hive& hive, bool* changed) -> LONG {
    // A key that so far only had subkeys is listed now.
    *changed = hive.SetValue(path, Value{name, dwType, data});
    return ERROR_SUCCESS;
  });
  return Finish(call, rc);
}

LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  emu::ApiCall call("RegDeleteValueW", hKey, lpValueName);
  if (call.faulted()) return Injected(call);
  std::u16string path;
  if (LONG rc = KeyPath(hKey, nullptr, &path)) return Finish(call, rc);
  std::u16string name = lpValueName ? lpValueName : u"";
  LONG rc = Modify([&](Hive& hive, bool* changed) -> LONG {
    if (!hive.DeleteValue(path, name)) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
  return Finish(call, rc);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  emu::ApiCall call("RegCloseKey", hKey);
  if (call.faulted()) return Injected(call);
  if (RootName(hKey)) return Finish(call, ERROR_SUCCESS);
  auto& k = open_keys();
  std::lock_guard guard(k.lock);
  if (!k.paths.erase(reinterpret_cast<uintptr_t>(hKey))) return Finish(call, ERROR_INVALID_HANDLE);
  return Finish(call, ERROR_SUCCESS);
}
