// The handheld shell's calls: extra controls, full-screen dialogs, the input
// panel across activation (aygshell), special folders and shortcuts (coredll,
// declared in the shell's headers).
#pragma once

#include <windows.h>

// aygshell.
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

// What the shell keeps for a window across activation; zeroed, with cbSize
// set, before the first SHHandleWMActivate.
typedef struct {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;
#define SHA_INPUTDIALOG 0x00000001

extern "C" {
BOOL WINAPI SHInitExtraControls(void);
BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai,
                               DWORD dwFlags);
BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai);
// coredll.
BOOL WINAPI SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);
}

// coredll. Desktop Win32 has these in shlobj.h.
#ifndef CSIDL_PROGRAMS
#define CSIDL_PROGRAMS 0x0002
#endif
#ifndef SHGetSpecialFolderPath
extern "C" BOOL WINAPI SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder,
                                              BOOL fCreate);
#endif
