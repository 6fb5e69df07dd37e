// The dialog's start-up: the receiver's validity in local time, the
// remembered address, the launcher shortcut.
#include "check.h"
#include "fixtures.h"
#include "skylode_window.h"

namespace wine_test {
namespace {

const char* const kPresets[] = {
    "http://ee.maker-a.example/packedEphemeris.ee",
    "http://service.maker-b.example/eeservice/packedephemeris.ee",
    "http://eu.maker-c.example/clm/packedEphemeris.ee",
    "http://us.maker-c.example/clm/packedEphemeris.ee",
    "http://asia.maker-c.example/clm/packedEphemeris.ee",
};

std::string StatusAtStart() {
  Skylode app;
  if (!app.started()) return "<no dialog>";
  std::string status = app.Status();
  CHECK(app.Close());
  return status;
}

}  // namespace

// The runner gives Wine the zone through TZ=Europe/Berlin.
WINE_CASE("startup", "validity in the local time of a zone with summer time") {
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  REQUIRE(zone.Bias == -60 && zone.DaylightBias == -60 && zone.DaylightDate.wMonth == 3);
  struct Row {
    const char* name;
    std::string record;
    std::string status;  // "" when hidden
  } rows[] = {
      {"summer", Record(2009, 7, 1, 12, 0), "Updated until 2009-07-01 14:00"},
      {"winter, past midnight", Record(2009, 12, 31, 23, 30), "Updated until 2010-01-01 00:30"},
      {"before the spring change", Record(2009, 3, 29, 0, 30), "Updated until 2009-03-29 01:30"},
      {"after the spring change", Record(2009, 3, 29, 1, 30), "Updated until 2009-03-29 03:30"},
      {"last summer hour", Record(2009, 10, 25, 0, 30), "Updated until 2009-10-25 02:30"},
      {"first winter hour", Record(2009, 10, 25, 1, 30), "Updated until 2009-10-25 02:30"},
      {"31 April", Record(2009, 4, 31, 10, 0), "Updated until 2009-05-01 12:00"},
      {"no record", "", ""},
      {"month 13", Record(2009, 13, 1, 0, 0), ""},
      {"before 1970", Record(1969, 12, 31, 23, 59), ""},
      {"after 3000", Record(3001, 1, 1, 0, 0), ""},
      // The runtime's range, 1970 to 3000, holds for the UTC moment: read
      // as local standard time, 00:30 is still 1969 in UTC; the local
      // time shown may lie past 3000.
      {"first hour of 1970", Record(1970, 1, 1, 0, 30), ""},
      {"last hour of 3000", Record(3000, 12, 31, 23, 30), "Updated until 3001-01-01 00:30"},
      {"short record", Record(2009, 6, 15, 14, 30).substr(0, 8), ""},
  };
  RemoveClientKey();
  for (const Row& row : rows) {
    SetScope(row.name);
    ResetDevice();
    if (!row.record.empty()) WriteBytes(DevicePath(L"dev\\COM7\\validity"), row.record);
    CHECK_EQ(StatusAtStart(), row.status);
  }
}

WINE_CASE("startup", "receiver trouble at start passes in silence") {
  RemoveClientKey();
  ResetDevice();
  std::wstring validity = DevicePath(L"dev\\COM7\\validity");
  WriteBytes(validity, Record(2009, 7, 1, 12, 0));
  REQUIRE(StatusAtStart() == "Updated until 2009-07-01 14:00");

  SetScope("the driver fails");
  WriteBytes(DevicePath(L"dev\\COM7\\validity-error"), "31");
  CHECK_EQ(StatusAtStart(), "");
  DeleteFileW(DevicePath(L"dev\\COM7\\validity-error").c_str());

  SetScope("another program holds the port");
  HANDLE held = CreateFileW(DevicePath(L"dev\\COM7\\lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  REQUIRE(held != INVALID_HANDLE_VALUE);
  {
    Skylode app;
    CHECK_EQ(app.Status(), "");
    CHECK(app.WaitForBox(500).hwnd == nullptr);
  }
  CloseHandle(held);
}

WINE_CASE("startup", "the driver's setting names the receiver's port") {
  RemoveClientKey();
  ResetDevice();
  CreateDirectoryW(DevicePath(L"dev\\COM9").c_str(), nullptr);
  WriteBytes(DevicePath(L"dev\\COM9\\validity"), Record(2009, 7, 1, 12, 0));
  struct Row {
    const char* name;
    DWORD type;
    std::string bytes;
    std::string status;
  } rows[] = {
      {"no setting: COM7", REG_NONE, "", ""},
      {"a number", REG_DWORD, std::string("\x09\0\0\0", 4), "Updated until 2009-07-01 14:00"},
      // Shorter than a number: its bytes fill the low end.
      {"one byte", REG_BINARY, "\x09", "Updated until 2009-07-01 14:00"},
  };
  for (const Row& row : rows) {
    SetScope(row.name);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"drivers\\builtin\\vr_com");
    if (row.type != REG_NONE)
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"drivers\\builtin\\vr_com", L"index", row.type,
                      row.bytes.data(), static_cast<DWORD>(row.bytes.size()));
    CHECK_EQ(StatusAtStart(), row.status);
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"drivers\\builtin\\vr_com");
  DeleteFileW(DevicePath(L"dev\\COM9\\validity").c_str());
}

WINE_CASE("startup", "a second start brings the first to the front and ends") {
  RemoveClientKey();
  ResetDevice();
  Skylode first;
  REQUIRE(first.started());
  // A window of the driver's own takes the front first.
  HWND other = CreateWindowExW(0, L"Static", L"driver", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                               nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  CHECK(GetForegroundWindow() == other);
  Skylode second(L"", Skylode::kNoDialog);
  CHECK(second.WaitForExit(15000));
  CHECK(first.Running());
  CHECK(GetForegroundWindow() == first.dialog());
  DestroyWindow(other);
}

WINE_CASE("startup", "the remembered address is restored") {
  std::string longest = "http://example.com/" + std::string(1004, 'a');  // 1023 characters
  struct Row {
    const char* name;
    bool key;
    DWORD type;         // of the value "url"; REG_NONE: no value
    std::string bytes;  // as stored
    int selected;
    std::string field;
    bool appended;  // a sixth entry, the field's text
  } rows[] = {
      {"no key", false, REG_NONE, "", 0, kPresets[0], false},
      {"key without url", true, REG_NONE, "", 0, kPresets[0], false},
      {"url is preset 4", true, REG_SZ, TextValue(kPresets[3]), 3, kPresets[3], false},
      {"preset 2 in capitals", true, REG_SZ,
       TextValue("HTTP://SERVICE.MAKER-B.EXAMPLE/EESERVICE/PACKEDEPHEMERIS.EE"), 1, kPresets[1],
       false},
      {"url not in the list", true, REG_SZ, TextValue("https://ee.mine.example/x.ee"), 5,
       "https://ee.mine.example/x.ee", true},
      {"url of 1023 characters", true, REG_SZ, TextValue(longest), 5, longest, true},
      {"url of 1024 characters", true, REG_SZ, TextValue(longest + "a"), 0, kPresets[0], false},
      {"url not a text", true, REG_BINARY, std::string("h\0t\0\0\0", 6), 0, kPresets[0], false},
      {"url without terminator", true, REG_SZ, std::string("h\0t\0", 4), 5, "ht", true},
  };
  ResetDevice();
  for (const Row& row : rows) {
    SetScope(row.name);
    RemoveClientKey();
    if (row.key) MakeClientKey();
    if (row.type != REG_NONE) SetRememberedValue(row.type, row.bytes);
    Skylode app;
    REQUIRE(app.started());
    std::vector<std::string> list(std::begin(kPresets), std::end(kPresets));
    if (row.appended) list.push_back(row.field);
    std::vector<std::string> shown = app.List();
    CHECK_EQ(shown.size(), list.size());
    CHECK(shown == list);
    CHECK_EQ(app.Selected(), row.selected);
    CHECK_EQ(app.Address(), row.field);
    CHECK(app.Close());
  }
}

WINE_CASE("startup", "the launcher shortcut is made when the key has no address") {
  ResetDevice();
  std::wstring shortcut = LauncherShortcut();
  std::string target = "\"" + Narrow(SkylodeExe()) + "\" /u";

  SetScope("key without address");
  MakeClientKey();
  DeleteFileW(shortcut.c_str());
  { Skylode app; }
  CHECK_EQ(ReadBytes(shortcut), std::to_string(target.size()) + "#" + target);

  SetScope("something already there");
  WriteBytes(shortcut, "mine");
  { Skylode app; }
  CHECK_EQ(ReadBytes(shortcut), "mine");

  SetScope("an address remembered");
  DeleteFileW(shortcut.c_str());
  SetRememberedAddress("http://x.example/");
  { Skylode app; }
  CHECK(!FileExists(shortcut));

  SetScope("no key");
  RemoveClientKey();
  { Skylode app; }
  CHECK(!FileExists(shortcut));
}

}  // namespace wine_test
