#include <aygshell.h>
#include <string.h>

#include "SkylodeDlg.h"

// A launcher in the Start menu's Programs folder that starts this program
// unattended. Whatever exists at its place already is left alone.
void CSkylodeDlg::CreateLauncherShortcut() {
  WCHAR exe[MAX_PATH];
  DWORD length = GetModuleFileNameW(NULL, exe, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;  // a cut path would start nothing
  WCHAR target[MAX_PATH + 8];
  wsprintfW(target, TEXT("\"%s\" /u"), exe);

  WCHAR shortcut[MAX_PATH + 32];
  memset(shortcut, 0, sizeof(shortcut));
  // Without the Programs folder there is no place for the launcher.
  if (!SHGetSpecialFolderPath(NULL, shortcut, CSIDL_PROGRAMS, FALSE) || shortcut[0] == 0) return;
  wcscat(shortcut, TEXT("\\Skylode auto.lnk"));
  if (GetFileAttributesW(shortcut) == INVALID_FILE_ATTRIBUTES) SHCreateShortcut(shortcut, target);
}

// "/u" anywhere in the command line runs one update unattended.
void CSkylodeDlg::CheckUnattendedMode() {
  if (wcsstr(GetCommandLineW(), TEXT("/u")))
    m_timerId = SetTimer(100, 100, NULL);
  else
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UPDATE), TRUE);
}

// The unattended update: once, shortly after start; the outcome stays on the
// screen for three seconds, then the program ends.
void CSkylodeDlg::OnTimer(UINT_PTR nIDEvent) {
  KillTimer(m_timerId);
  OnBnClickedUpdate();
  UpdateWindow();
  Sleep(3000);
  EndDialog(0);
  CDialog::OnTimer(nIDEvent);
}
