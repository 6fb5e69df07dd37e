// Calendar arithmetic on the proleptic Gregorian calendar (month 1..12),
// shared by the handheld's time zone, its C runtime and the host's zone.
#pragma once

#include <cstdint>

namespace emu {

constexpr int64_t kSecondsPerDay = 86400;

// Division rounding towards minus infinity.
int64_t FloorDiv(int64_t a, int64_t b);
int DaysInMonth(int64_t year, int month);
// 0 = Sunday, as SYSTEMTIME counts weekdays.
int WeekDay(int64_t days_since_1970);
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
void CivilFromDays(int64_t days, int64_t* year, int* month, int* day);

}  // namespace emu
