// An error raised inside the Update command still releases the connection
// and restores the cursor, then reaches the error report; the dialog stays.
#include "core/api_call.h"
#include "support/trace_reader.h"
#include "support/device_fixture.h"
#include "support/dialog_harness.h"
#include "support/handheld_builders.h"

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
  EXPECT_EQ(LinesStarting(out, "box:"), "box: skylode_program_tests | Out of memory. | OK\n");
  std::string calls = ReadTrace(trace);
  auto count = [&](const std::string& what) { return CountOf(calls, "\n" + what); };
  EXPECT_EQ(count("ConnMgrReleaseConnection"), 1);
  EXPECT_EQ(count("SetCursor"), 2);
  // Released and restored before the report is shown.
  EXPECT_LT(calls.rfind("\nSetCursor"), calls.find("\nMessageBoxW"));
  EXPECT_EQ(count("InternetOpenW"), 0);
  EXPECT_EQ(count("EndDialog"), 0);  // nothing ended the dialog
}

}  // namespace
