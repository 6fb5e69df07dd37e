// The connection prompts: the device folder's "offline" makes the
// Connection Manager report no network.
#include "check.h"
#include "fixtures.h"
#include "skylode_window.h"

namespace wine_test {

// Wine's InternetAttemptConnect succeeds whatever the network, so the
// handheld's first prompt never shows here: two prompts, not three.
WINE_CASE("connection", "each prompt asks Yes or No and only No stops") {
  struct Row {
    const char* name;
    int preset;  // the list's entry picked; -1: the loopback address typed
    std::vector<std::string> answers;
    bool downloads;
  } rows[] = {
      {"No at the first", 3, {"No"}, false},
      {"Yes, then No", -1, {"Yes", "No"}, false},
      // The network itself is up: the download goes on and succeeds.
      {"Yes to both", -1, {"Yes", "Yes"}, true},
  };
  ResetDevice();
  MakeClientKey();
  Skylode app;
  REQUIRE(app.started());
  for (const Row& row : rows) {
    SetScope(row.name);
    ResetDevice();
    WriteBytes(DevicePath(L"offline"), "");
    WriteBytes(kTarget, "old data");
    std::string address = Url("http", "/bytes/500");
    if (row.preset < 0) {
      app.TypeAddress(address);
    } else {
      app.PickPreset(row.preset);
      address = app.Address();
      CHECK_EQ(address, "http://us.maker-c.example/clm/packedEphemeris.ee");
    }
    app.PressUpdate();
    for (const std::string& answer : row.answers) {
      Box box = app.WaitForBox(10000);
      REQUIRE(box.hwnd != nullptr);
      CHECK_EQ(box.caption, "");
      CHECK_EQ(box.text, "Error connecting to internet. Continue?");
      CHECK(box.buttons == (std::vector<std::string>{"Yes", "No"}));
      CHECK(app.Answer(box, answer));
    }
    if (row.downloads) CHECK(app.WaitForStatus("Updated until ", 30000));
    CHECK(app.WaitUntilIdle(10000));
    CHECK(app.WaitForBox(300).hwnd == nullptr);
    CHECK_EQ(ReadBytes(kTarget), row.downloads ? Pattern(500) : std::string("old data"));
    // The address is remembered before the connection is asked for.
    CHECK_EQ(RememberedAddress(), address);
  }
}

}  // namespace wine_test
