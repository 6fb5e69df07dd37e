// Force-included into the program and the framework by the Win32 build only
// (never by the emulation's): the handheld's meaning for the few calls whose
// desktop namesakes behave otherwise, and the handheld calls desktop Win32
// lacks. The program code stays the same for both builds.
#pragma once

#include <windows.h>

extern "C" {

// "COMn:" opens the receiver driver's port; any other name is a desktop file.
HANDLE WINAPI HandheldCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE template_file);
// The receiver's requests on a port handle; other handles go to the desktop.
BOOL WINAPI HandheldDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                                    DWORD out_size, LPDWORD returned, LPOVERLAPPED overlapped);
BOOL WINAPI HandheldCloseHandle(HANDLE handle);
// The handheld ignores the access mask: 0 opens the key for use.
LONG WINAPI HandheldRegOpenKeyExW(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access,
                                  PHKEY result);

// The handheld's replace: both files must exist; the source's content
// replaces the destination's and the source goes; on failure both stay.
BOOL WINAPI DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source);
}

#define CreateFileW HandheldCreateFileW
#define DeviceIoControl HandheldDeviceIoControl
#define CloseHandle HandheldCloseHandle
#define RegOpenKeyExW HandheldRegOpenKeyExW
