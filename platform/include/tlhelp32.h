// The handheld's tool help (toolhelp): a snapshot of the running processes.
#pragma once

#include <windows.h>

#define TH32CS_SNAPPROCESS 0x00000002

typedef struct tagPROCESSENTRY32 {
  DWORD dwSize;  // set to sizeof(PROCESSENTRY32) before Process32First
  DWORD cntUsage;
  DWORD th32ProcessID;
  DWORD th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];  // the executable's path and name
  DWORD th32MemoryBase;
  DWORD th32AccessKey;
} PROCESSENTRY32, *PPROCESSENTRY32, *LPPROCESSENTRY32;

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// Relied on: past the last entry, FALSE with ERROR_NO_MORE_FILES
// (ProcessTest.SnapshotListsTheRunningPrograms).
BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
BOOL WINAPI CloseToolhelp32Snapshot(HANDLE hSnapshot);
