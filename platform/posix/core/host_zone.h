// The host's own time zone, expressed the way the handheld stores one; a new
// handheld starts with it.
#pragma once

#include <windows.h>

namespace emu {

// The host's zone as day-in-month rules of the host's current year.
TIME_ZONE_INFORMATION HostTimeZoneInformation();

}  // namespace emu
