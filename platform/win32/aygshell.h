// Desktop Win32 lacks the handheld shell's header: the handheld's
// declarations serve, with the special-folder call from shlobj.h.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "../include/aygshell.h"
