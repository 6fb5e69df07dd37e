// The stand-ins for the handheld's calls, called directly: the rules the
// emulated handheld follows hold for them too.
#include "check.h"
#include "fixtures.h"
#include "handheld_routing.h"

namespace wine_test {

WINE_CASE("handheld", "DeleteAndRenameFile replaces only between two existing files") {
  std::wstring folder = DevicePath(L"replace");
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring destination = folder + L"\\target", source = folder + L"\\tmp";
  struct Row {
    const char* name;
    bool destination_exists, source_exists;
  } rows[] = {{"both", true, true}, {"no source", true, false}, {"no destination", false, true}};
  for (const Row& row : rows) {
    SetScope(row.name);
    DeleteFileW(destination.c_str());
    DeleteFileW(source.c_str());
    if (row.destination_exists) WriteBytes(destination, "old");
    if (row.source_exists) WriteBytes(source, "new");
    bool both = row.destination_exists && row.source_exists;
    SetLastError(0);
    CHECK_EQ(DeleteAndRenameFile(destination.c_str(), source.c_str()) != FALSE, both);
    if (!both) CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CHECK_EQ(ReadBytes(destination), both ? "new" : row.destination_exists ? "old" : "");
    CHECK_EQ(FileExists(source), !both && row.source_exists);
  }
}

WINE_CASE("handheld", "the receiver's port is one program's at a time") {
  ResetDevice();
  HANDLE first =
      CreateFileW(L"COM7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  REQUIRE(first != INVALID_HANDLE_VALUE);
  HANDLE second =
      CreateFileW(L"com7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(second == INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // Nothing loaded yet: the validity request succeeds with nothing.
  BYTE record[20];
  DWORD returned = 99;
  CHECK(DeviceIoControl(first, 0x00220052, nullptr, 0, record, sizeof record, &returned, nullptr));
  CHECK_EQ(returned, 0u);
  CHECK(!DeviceIoControl(first, 0x00220051, nullptr, 0, nullptr, 0, &returned, nullptr));
  CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CHECK(CloseHandle(first));

  HANDLE again =
      CreateFileW(L"COM7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(again != INVALID_HANDLE_VALUE);
  CloseHandle(again);
  CHECK(CreateFileW(L"COM8:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
        INVALID_HANDLE_VALUE);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

WINE_CASE("handheld", "a key opened with no access mask can be read and written") {
  MakeClientKey();
  HKEY key;
  REQUIRE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ETEN\\AGPRSDownloadClient", 0, 0, &key) ==
          ERROR_SUCCESS);
  const WCHAR value[] = L"x";
  CHECK_EQ(
      RegSetValueExW(key, L"url", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
      ERROR_SUCCESS);
  RegCloseKey(key);
  CHECK_EQ(RememberedAddress(), "x");
}

}  // namespace wine_test
