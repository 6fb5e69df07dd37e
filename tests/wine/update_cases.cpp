// Whole updates through the dialog: success, each failure's one box, and
// the unattended start.
#include "check.h"
#include "fixtures.h"
#include "skylode_window.h"

namespace wine_test {
namespace {

constexpr int kUpdateMs = 30000;

// The record's moment in this zone, as the dialog words it, converted by
// the system rather than the C runtime the program uses.
std::string ExpectedStatus(const std::string& record) {
  if (record.size() != 20) return "<no record>";
  const INT32* v = reinterpret_cast<const INT32*>(record.data());
  SYSTEMTIME utc = {}, local = {};
  utc.wYear = static_cast<WORD>(v[0]);
  utc.wMonth = static_cast<WORD>(v[1]);
  utc.wDay = static_cast<WORD>(v[2]);
  utc.wHour = static_cast<WORD>(v[3]);
  utc.wMinute = static_cast<WORD>(v[4]);
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  char text[64];
  snprintf(text, sizeof text, "Updated until %04d-%02d-%02d %02d:%02d", local.wYear, local.wMonth,
           local.wDay, local.wHour, local.wMinute);
  return text;
}

void Prepare() {
  ResetDevice();
  MakeClientKey();
  SetRememberedAddress("http://unused.example/");
  WriteBytes(kTarget, "old data");
  DeleteFileW(kTemporary);
}

}  // namespace

WINE_CASE("update", "a whole update stores, loads and shows the new validity") {
  Prepare();
  std::string address = Url("http", "/bytes/3000");
  Skylode app;
  REQUIRE(app.started());
  app.TypeAddress(address);
  app.PressUpdate();
  CHECK(app.WaitForStatus("Updated until ", kUpdateMs));
  CHECK(app.WaitUntilIdle(5000));
  CHECK(app.WaitForBox(300).hwnd == nullptr);
  std::string record = ReadBytes(DevicePath(L"dev\\COM7\\validity"));
  CHECK_EQ(app.Status(), ExpectedStatus(record));
  CHECK(ReadBytes(kTarget) == Pattern(3000));
  CHECK(ReadBytes(DevicePath(L"dev\\COM7\\ephemeris")) == Pattern(3000));
  CHECK(!FileExists(kTemporary));
  CHECK_EQ(RememberedAddress(), address);
  CHECK(!IsWindowVisible(GetDlgItem(app.dialog(), 1003)));  // the progress bar
}

WINE_CASE("update", "long addresses are cut to 1023 characters") {
  Prepare();
  Skylode app;
  REQUIRE(app.started());
  for (size_t length : {1023u, 1024u, 1500u}) {
    SetScope(std::to_string(length) + " characters");
    std::string base = Url("http", "/bytes/200?pad=");
    std::string address = base + std::string(length - base.size(), 'p');
    app.TypeAddress(address);
    app.PressUpdate();
    CHECK(app.WaitForStatus("Updated until ", kUpdateMs));
    CHECK(app.WaitUntilIdle(5000));
    CHECK_EQ(RememberedAddress(), address.substr(0, 1023));
    CHECK(ReadBytes(kTarget) == Pattern(200));
  }
}

WINE_CASE("update", "a press while the download's box is open does nothing") {
  Prepare();
  Skylode app;
  REQUIRE(app.started());
  app.TypeAddress(Url("http", "/bytes/300?status=500&reason=Server%20Error"));
  app.PressUpdate();
  Box box = app.WaitForBox(kUpdateMs);
  REQUIRE(box.hwnd != nullptr);
  // The box has no owner: the dialog still takes the press.
  CHECK(IsWindowEnabled(app.dialog()));
  app.PressUpdate();
  Sleep(500);
  CHECK(app.Answer(box, "OK"));
  CHECK(app.WaitUntilIdle(5000));
  CHECK(app.WaitForBox(500).hwnd == nullptr);
}

WINE_CASE("update", "each failure is told in one box and keeps the old file") {
  struct Row {
    const char* name;
    std::string path;          // on the loopback server
    std::string driver_error;  // the receiver's load-error file
    std::string box;
    size_t stored;  // the bytes that replaced the old file, if any
  } rows[] = {
      {"not found", "/bytes/300?status=404&reason=Not%20Found", "", "HTTP status 404 Not Found", 0},
      {"no reason phrase", "/bytes/300?status=500&reason=", "", "HTTP status 500", 0},
      // The emulation's client fails the read (12030); Wine's ends it
      // normally, and the announced length catches it.
      {"cut short", "/bytes/3000?cut=1000", "", "Incomplete download: 1000 of 3000 bytes", 0},
      // The emulation's client says 12031; Wine's passes the socket's code on.
      {"reset", "/bytes/100000?reset=5000", "", "Error 10054 InternetReadFile", 0},
      {"the driver refuses", "/bytes/300", "31", "Failed to copy to COM7:, error 31", 300},
      {"file too small", "/bytes/50", "", "Strange filesize 50 of \\windows\\ZUZIdarudaZozo.ee",
       50},
      {"file too large", "/bytes/204801", "",
       "Strange filesize 204801 of \\windows\\ZUZIdarudaZozo.ee", 204801},
  };
  Prepare();
  Skylode app;
  REQUIRE(app.started());
  for (const Row& row : rows) {
    SetScope(row.name);
    ResetDevice();
    WriteBytes(kTarget, "old data");
    if (!row.driver_error.empty())
      WriteBytes(DevicePath(L"dev\\COM7\\load-error"), row.driver_error);
    app.TypeAddress(Url("http", row.path));
    app.PressUpdate();
    Box box = app.WaitForBox(kUpdateMs);
    REQUIRE(box.hwnd != nullptr);
    CHECK_EQ(box.caption, "Skylode");
    CHECK_EQ(box.text, row.box);
    CHECK(box.buttons == std::vector<std::string>{"OK"});
    CHECK(app.Answer(box, "OK"));
    CHECK(app.WaitUntilIdle(5000));
    CHECK_EQ(app.Status(), "");
    CHECK(!FileExists(DevicePath(L"dev\\COM7\\ephemeris")));
    // A failed download keeps the old file; a file the receiver refuses
    // has replaced it already.
    CHECK(ReadBytes(kTarget) == (row.stored ? Pattern(row.stored) : "old data"));
  }
}

WINE_CASE("update", "/u updates by itself and closes three seconds later") {
  Prepare();
  SetRememberedAddress(Url("http", "/bytes/400"));
  Skylode app(L"/u");
  REQUIRE(app.started());
  REQUIRE(app.WaitForStatus("Updated until ", kUpdateMs));
  DWORD shown = GetTickCount();
  CHECK(app.WaitForExit(10000));
  DWORD open_for = GetTickCount() - shown;
  if (open_for < 2800 || open_for > 6000)
    Fail(__FILE__, __LINE__, "closed " + std::to_string(open_for) + " ms after the status showed");
  CHECK(ReadBytes(DevicePath(L"dev\\COM7\\ephemeris")) == Pattern(400));
  CHECK(ReadBytes(kTarget) == Pattern(400));
}

}  // namespace wine_test
