// Desktop Win32's tool help closes its snapshot with CloseHandle; the
// handheld's own call for it maps onto that.
#pragma once

#include_next <tlhelp32.h>

#ifndef CloseToolhelp32Snapshot
#define CloseToolhelp32Snapshot(snapshot) CloseHandle(snapshot)
#endif
