// The handheld shell's calls: extra controls, full-screen dialogs, special
// folders and shortcuts.
#pragma once

#include <windows.h>

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

extern "C" {
BOOL WINAPI SHInitExtraControls(void);
BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
BOOL WINAPI SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);
}

// Desktop Win32 has these in shlobj.h.
#ifndef CSIDL_PROGRAMS
#define CSIDL_PROGRAMS 0x0002
#endif
#ifndef SHGetSpecialFolderPath
extern "C" BOOL WINAPI SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder,
                                              BOOL fCreate);
#endif
