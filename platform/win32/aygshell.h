// The handheld shell's calls, which desktop Win32 lacks: declared here so the
// program's code compiles against the real Win32 headers.
#pragma once

#include <windows.h>
#include <shlobj.h>

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

// SHGetSpecialFolderPath and CSIDL_PROGRAMS come from shlobj.h.
