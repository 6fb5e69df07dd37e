// The device's time zone and the calendar-time
// conversion of the handheld's C runtime over the device's zone.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/calendar.h"

namespace emu {

// The host's own zone as day-in-month rules of the host's current year.
TIME_ZONE_INFORMATION HostTimeZoneInformation();

// For in-process tests: forget the zone read at the first conversion.
void ResetCrtTimeZone();

// Seconds west of UTC of the zone's standard time, and the daylight shift
// (negative when clocks go forward).
int64_t StandardOffsetWest(const TIME_ZONE_INFORMATION& tzi);
int64_t DaylightShift(const TIME_ZONE_INFORMATION& tzi);
// The zone observes daylight saving: both change dates and a non-zero shift.
bool ZoneHasDaylight(const TIME_ZONE_INFORMATION& tzi);
// Daylight saving is in force at this local standard time (seconds since
// 1970 on the local standard clock) under the zone's rules.
bool DaylightAtLocalStandard(const TIME_ZONE_INFORMATION& tzi, int64_t local_standard);
// Daylight saving is in force at this instant (seconds since 1970 UTC).
bool DaylightAtInstant(const TIME_ZONE_INFORMATION& tzi, int64_t utc);

}  // namespace emu
