// The handheld's error code for a host errno, for every emulated call that
// works on host files.
#pragma once

#include <windows.h>

namespace emu {

DWORD HostError(int err);

}  // namespace emu
