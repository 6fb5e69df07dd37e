// The framework's dialog: message map dispatch, the application message box
// and the application-wide error report.
#include <afxwin.h>
#include <aygshell.h>

#include <fstream>
#include <functional>
#include <new>
#include <sstream>

#include "device_fixture.h"
#include "handheld_builders.h"
#include "resource.h"

namespace {

class ThrowingDlg : public CDialog {
 public:
  std::function<void()> onUpdate;
  ThrowingDlg() : CDialog(IDD_MAIN) {}

 protected:
  void OnUpdate() { onUpdate(); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ThrowingDlg, CDialog)
  ON_BN_CLICKED(IDC_UPDATE, OnUpdate)
END_MESSAGE_MAP()

class FrameworkTest : public DeviceTest {
 protected:
  std::string Run(std::function<void()> onUpdate, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    emu::UseScriptDisplay(in, out);
    SHInitExtraControls();
    ThrowingDlg dlg;
    dlg.onUpdate = std::move(onUpdate);
    emu::SetTraceFile(root_ + "/trace");
    dlg.DoModal();
    emu::SetTraceFile("");
    return out.str();
  }
  std::string Trace() {
    std::ifstream in(root_ + "/trace");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

struct ReportCase {
  const char* name;
  std::function<void()> raise;
  std::string text;
  std::string type;  // MessageBoxW's flags: icon and foreground
};

TEST_F(FrameworkTest, AnErrorInAHandlerIsReportedAndTheDialogStaysOpen) {
  const ReportCase cases[] = {
      {"memory", [] { AfxThrowMemoryException(); }, "Out of memory.", "0x10030"},
      {"allocation", [] { throw std::bad_alloc(); }, "Out of memory.", "0x10030"},
      {"system error", [] { AfxThrowOleException(E_FAIL); }, "Unspecified error", "0x10010"},
      {"bad argument", [] { AfxThrowOleException(E_INVALIDARG); }, "The parameter is incorrect.",
       "0x10010"},
      {"no text", [] { AfxThrowOleException(static_cast<HRESULT>(0x8badf00d)); },
       "Internal application error.", "0x10010"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = Run(c.raise, "click 1000\nok\ndump\n");
    EXPECT_EQ(LinesStarting(out, "box:"), "box: skylode_tests | " + c.text + " | OK\n");
    EXPECT_EQ(LinesStarting(out, "answer:"), "answer: ok\n");
    EXPECT_NE(out.find("caption: Skylode"), std::string::npos) << "the dialog stays open";
    EXPECT_NE(Trace().find("MessageBoxW null \"" + c.text + "\" \"skylode_tests\" " + c.type),
              std::string::npos)
        << Trace();
  }
}

}  // namespace
