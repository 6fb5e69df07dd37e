#include "SkylodeApp.h"

#include <aygshell.h>

#include "SkylodeDlg.h"

CSkylodeApp::CSkylodeApp() = default;
CSkylodeApp::~CSkylodeApp() = default;

BOOL CSkylodeApp::InitInstance() {
  SHInitExtraControls();  // the input-panel control of the dialog needs it

  CSkylodeDlg* dlg = new CSkylodeDlg(nullptr);
  m_pMainWnd = dlg;
  dlg->DoModal();
  m_pMainWnd = nullptr;
  delete dlg;
  // The dialog has closed: the program ends.
  return FALSE;
}
