// Runs the real main dialog in-process: the test's body runs once the
// dialog's start-up is done, then the dialog ends. The script display takes
// the given input and records what the program showed.
#pragma once

#include <aygshell.h>

#include <functional>
#include <sstream>

#include "SkylodeDlg.h"
#include "display/script/protocol.h"

class HarnessDlg : public CSkylodeDlg {
 public:
  std::function<void(HarnessDlg&)> body;
  using CSkylodeDlg::m_progress;
  using CSkylodeDlg::m_timerId;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CSkylodeDlg::OnInitDialog();
    if (body) body(*this);
    EndDialog(IDCANCEL);
    return result;
  }
};

// Returns what the script display printed.
inline std::string RunDialog(std::function<void(HarnessDlg&)> body, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  emu::UseScriptDisplay(in, out);
  SHInitExtraControls();
  HarnessDlg dlg;
  dlg.body = std::move(body);
  dlg.DoModal();
  return out.str();
}
