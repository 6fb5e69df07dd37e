// An error raised inside the Update command still releases the connection
// and restores the cursor, then reaches the error report; the dialog stays.
#include <fstream>

#include "device_fixture.h"
#include "dialog_harness.h"
#include "handheld_builders.h"

namespace {

class UpdateErrorTest : public DeviceTest {};

TEST_F(UpdateErrorTest, ReleasesAndRestoresThenReportsAndStaysOpen) {
  WriteRegistry(std::string(kClientKey) + "\n" + ZoneRegistry(Zone(0)));
  std::string trace = root_ + "/trace";
  bool open_after = false;
  std::string out = RunDialog(
      [&](HarnessDlg& dlg) {
        ::SetDlgItemTextW(dlg.m_hWnd, IDC_ADDRESS, u"http://127.0.0.1:9/x.ee");
        emu::SetTraceFile(trace);
        emu::SetFaults("HeapAlloc=8");  // no text can be built any more
        ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_UPDATE, BN_CLICKED), 0);
        emu::SetFaults("");
        emu::SetTraceFile("");
        open_after = ::IsWindow(dlg.m_hWnd);
      },
      "ok\n");
  EXPECT_TRUE(open_after);
  EXPECT_EQ(LinesStarting(out, "box:"), "box: skylode_tests | Out of memory. | OK\n");
  std::ifstream in(trace);
  std::string calls((std::istreambuf_iterator<char>(in)), {});
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t p = calls.find("\n" + what); p != std::string::npos;
         p = calls.find("\n" + what, p + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("ConnMgrReleaseConnection"), 1);
  EXPECT_EQ(count("SetCursor"), 2);
  // Released and restored before the report is shown.
  EXPECT_LT(calls.rfind("\nSetCursor"), calls.find("\nMessageBoxW"));
  EXPECT_EQ(count("InternetOpenW"), 0);
  EXPECT_EQ(count("EndDialog"), 0);  // nothing ended the dialog
}

}  // namespace
