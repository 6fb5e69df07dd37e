// Desktop Win32 has no Connection Manager: the handheld's declarations serve.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../include/connmgr.h"
