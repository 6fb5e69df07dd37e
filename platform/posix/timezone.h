// The host's time zone as the handheld stores it, and the calendar-time
// conversion of the handheld's C runtime over the device's zone.
#pragma once

#include <windows.h>

namespace emu {

// The host's own zone as day-in-month rules of the host's current year.
TIME_ZONE_INFORMATION HostTimeZoneInformation();

// For in-process tests: forget the zone read at the first conversion.
void ResetCrtTimeZone();

}  // namespace emu
