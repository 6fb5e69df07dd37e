// The framework's dialog: message map dispatch, the application message box
// and the application-wide error report.
#include <afxwin.h>
#include <aygshell.h>

#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <vector>

#include "core/clock.h"
#include "display/script/protocol.h"
#include "core/api_call.h"
#include "support/trace_reader.h"
#include "support/device_fixture.h"
#include "support/handheld_builders.h"
#include "resource.h"
#include "user/window_system.h"

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
  std::string Trace() { return ReadTrace(root_ + "/trace"); }
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
    EXPECT_EQ(LinesStarting(out, "box:"), "box: skylode_program_tests | " + c.text + " | OK\n");
    EXPECT_EQ(LinesStarting(out, "answer:"), "answer: ok\n");
    EXPECT_NE(out.find("caption: Skylode"), std::string::npos) << "the dialog stays open";
    EXPECT_NE(
        Trace().find("MessageBoxW null \"" + c.text + "\" \"skylode_program_tests\" " + c.type),
        std::string::npos)
        << Trace();
  }
}

}  // namespace

namespace {

class CountingApp : public CWinApp {
 public:
  int started = 0;
  BOOL InitInstance() override {
    ++started;
    return FALSE;
  }
};

// Another copy holds the mutex but shows no window: after 40 looks, 250 ms
// apart, the program starts as usual.
TEST_F(FrameworkTest, WithoutTheRunningCopysWindowTheProgramStartsAfterTenSeconds) {
  WCHAR exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  for (WCHAR* p = exe; *p; ++p)
    if (*p == u'\\') *p = u'/';
  HANDLE other = CreateMutexW(nullptr, FALSE, exe);
  ASSERT_NE(other, nullptr);
  emu::UseVirtualClock(true);
  uint64_t start = emu::NowMs();
  CountingApp app;
  emu::SetTraceFile(root_ + "/trace");
  AfxWinMain(GetModuleHandleW(nullptr), nullptr, const_cast<LPWSTR>(u""), SW_SHOW);
  emu::SetTraceFile("");
  uint64_t waited = emu::NowMs() - start;
  emu::UseVirtualClock(false);
  CloseHandle(other);
  EXPECT_EQ(app.started, 1);
  EXPECT_EQ(waited, 40u * 250u);
  std::string trace = Trace();
  int looks = 0;
  for (size_t p = trace.find("EnumWindows"); p != std::string::npos;
       p = trace.find("EnumWindows", p + 1))
    ++looks;
  EXPECT_EQ(looks, 40);
}

}  // namespace

namespace {

// With the address focused, the input panel is up; a box comes and goes.
// Whether the panel is up again afterwards.
bool PanelAfterABox(HWND dlg, bool* before) {
  ::SetForegroundWindow(dlg);
  ::SetFocus(::GetDlgItem(dlg, IDC_ADDRESS));
  *before = emu::WindowSystem::Get().input_panel_up;
  ::MessageBoxW(dlg, u"A box", u"Skylode", MB_OK);
  return emu::WindowSystem::Get().input_panel_up;
}

class PanelDlg : public CDialog {
 public:
  PanelDlg() : CDialog(IDD_MAIN) {}
  bool before = false, after = false;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    after = PanelAfterABox(m_hWnd, &before);
    EndDialog(IDCANCEL);
    return TRUE;
  }
};

struct PlainResult {
  bool before = false, after = false;
};

// A dialog procedure that leaves activation to nobody.
INT_PTR CALLBACK PlainDialogProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
  if (msg != WM_INITDIALOG) return FALSE;
  auto* result = reinterpret_cast<PlainResult*>(lp);
  result->after = PanelAfterABox(dlg, &result->before);
  ::EndDialog(dlg, IDCANCEL);
  return TRUE;
}

// The framework's dialog hands WM_ACTIVATE and WM_SETTINGCHANGE to the shell
// with its activation record, so the input panel comes back after a box; a
// dialog that does not loses it.
TEST_F(FrameworkTest, TheInputPanelComesBackAfterABox) {
  std::istringstream in("ok\nok\n");
  std::ostringstream out;
  emu::UseScriptDisplay(in, out);
  SHInitExtraControls();
  std::string trace = root_ + "/trace";
  emu::SetTraceFile(trace);
  PanelDlg framework;
  framework.DoModal();
  emu::SetTraceFile("");
  PlainResult plain;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCE(IDD_MAIN), nullptr, PlainDialogProc,
                  reinterpret_cast<LPARAM>(&plain));
  EXPECT_EQ(CountOf(out.str(), "answer: ok"), 2) << out.str();

  EXPECT_TRUE(framework.before);
  EXPECT_TRUE(framework.after);
  EXPECT_TRUE(plain.before);
  EXPECT_FALSE(plain.after);

  // Activated at start, deactivated by the box (the panel was up), activated
  // again when it closed (the panel up again); each panel move was told.
  std::vector<std::string> wparams, panels;
  for (const std::string& line : TracedCalls(trace, "SHHandleWMActivate")) {
    std::istringstream words(line);
    std::string name, hwnd, wparam;
    words >> name >> hwnd >> wparam;
    wparams.push_back(wparam);
    panels.push_back(line.substr(line.find(" sip=") + 5, 4));
  }
  EXPECT_EQ(wparams, (std::vector<std::string>{"1", "0", "1"}));
  EXPECT_EQ(panels, (std::vector<std::string>{"fals", "true", "true"}));
  EXPECT_GE(TracedCalls(trace, "SHHandleWMSettingChange").size(), 2u);
  for (const std::string& line : TracedCalls(trace, "SHHandleWMSettingChange"))
    EXPECT_NE(line.find(" 224 "), std::string::npos) << line;
}

}  // namespace
