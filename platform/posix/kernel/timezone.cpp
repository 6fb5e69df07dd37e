// The device's time zone (HKEY_LOCAL_MACHINE\Time, as the handheld keeps it),
// its daylight-saving rules and the system clock.
#include "kernel/timezone.h"

#include <time.h>

#include <cstring>
#include <optional>

#include "core/api_call.h"
#include "core/calendar.h"
#include "core/wide.h"

namespace emu {
namespace {

// The local clock time (seconds since 1970 on that clock) at which a change
// date takes effect in `year`; none when the date does not apply that year
// or is malformed.
std::optional<int64_t> ChangeTime(const SYSTEMTIME& d, int64_t year) {
  if (d.wMonth < 1 || d.wMonth > 12 || d.wHour > 23 || d.wMinute > 59 || d.wSecond > 59)
    return std::nullopt;
  int64_t day;
  if (d.wYear != 0) {
    // An absolute date happens once, in its own year only.
    if (d.wYear != year || d.wDay < 1 || d.wDay > DaysInMonth(year, d.wMonth)) return std::nullopt;
    day = DaysFromCivil(year, d.wMonth, d.wDay);
  } else {
    // The wDay-th wDayOfWeek of the month; 5 means the last one.
    if (d.wDay < 1 || d.wDay > 5 || d.wDayOfWeek > 6) return std::nullopt;
    int64_t first = DaysFromCivil(year, d.wMonth, 1);
    int64_t dom = 1 + (d.wDayOfWeek - WeekDay(first) + 7) % 7 + 7 * (d.wDay - 1);
    while (dom > DaysInMonth(year, d.wMonth)) dom -= 7;
    day = first + dom - 1;
  }
  return day * kSecondsPerDay + d.wHour * 3600 + d.wMinute * 60 + d.wSecond;
}

TIME_ZONE_INFORMATION ReadDeviceZone() {
  TIME_ZONE_INFORMATION tzi{};
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Time", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return tzi;
  TIME_ZONE_INFORMATION stored{};
  DWORD type = 0, size = sizeof stored;
  LONG rc = RegQueryValueExW(key, u"TimeZoneInformation", nullptr, &type,
                             reinterpret_cast<LPBYTE>(&stored), &size);
  RegCloseKey(key);
  // Anything but the exact record means no zone: UTC without daylight saving.
  if (rc != ERROR_SUCCESS || type != REG_BINARY || size != sizeof stored) return tzi;
  tzi = stored;
  tzi.StandardName[31] = 0;  // the names are read as C strings later
  tzi.DaylightName[31] = 0;
  return tzi;
}

SYSTEMTIME UtcSystemTime(int64_t secs) {
  int64_t days = FloorDiv(secs, kSecondsPerDay), rest = secs - days * kSecondsPerDay;
  int64_t year;
  int month, day;
  CivilFromDays(days, &year, &month, &day);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDayOfWeek = static_cast<WORD>(WeekDay(days));
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(rest / 3600);
  st.wMinute = static_cast<WORD>(rest / 60 % 60);
  st.wSecond = static_cast<WORD>(rest % 60);
  return st;
}

}  // namespace

int64_t StandardOffsetWest(const TIME_ZONE_INFORMATION& tzi) {
  // In 64 bits: a stored zone may hold any two biases.
  int64_t bias = int64_t{tzi.Bias} + (tzi.StandardDate.wMonth != 0 ? tzi.StandardBias : 0);
  return bias * 60;
}

int64_t DaylightShift(const TIME_ZONE_INFORMATION& tzi) {
  return (static_cast<int64_t>(tzi.DaylightBias) - tzi.StandardBias) * 60;
}

bool ZoneHasDaylight(const TIME_ZONE_INFORMATION& tzi) {
  return tzi.DaylightDate.wMonth != 0 && tzi.StandardDate.wMonth != 0 && DaylightShift(tzi) != 0;
}

bool DaylightAtLocalStandard(const TIME_ZONE_INFORMATION& tzi, int64_t local) {
  int64_t year;
  int month, day;
  CivilFromDays(FloorDiv(local, kSecondsPerDay), &year, &month, &day);
  // Daylight time starts at a standard-clock time and ends at a
  // daylight-clock time, which is moved onto the standard clock here.
  auto start = ChangeTime(tzi.DaylightDate, year);
  auto end = ChangeTime(tzi.StandardDate, year);
  if (!start || !end) return false;
  *end += DaylightShift(tzi);
  if (*start < *end) return local >= *start && local < *end;
  // Southern hemisphere: daylight time spans the turn of the year.
  return local >= *start || local < *end;
}

bool DaylightAtInstant(const TIME_ZONE_INFORMATION& tzi, int64_t utc) {
  return DaylightAtLocalStandard(tzi, utc - StandardOffsetWest(tzi));
}

}  // namespace emu

DWORD WINAPI GetTimeZoneInformation(LPTIME_ZONE_INFORMATION tzi) {
  emu::ApiCall call("GetTimeZoneInformation", tzi);
  if (call.faulted()) return call.fail_injected(TIME_ZONE_ID_INVALID);
  if (!tzi) return call.fail(ERROR_INVALID_PARAMETER, TIME_ZONE_ID_INVALID);
  *tzi = emu::ReadDeviceZone();
  call.note("Bias", tzi->Bias);
  if (tzi->StandardDate.wMonth == 0 || tzi->DaylightDate.wMonth == 0)
    return call.ret(static_cast<DWORD>(TIME_ZONE_ID_UNKNOWN));
  bool daylight = emu::DaylightAtInstant(*tzi, static_cast<int64_t>(time(nullptr)));
  return call.ret(static_cast<DWORD>(daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD));
}

void WINAPI GetSystemTime(LPSYSTEMTIME st) {
  emu::ApiCall call("GetSystemTime", st);
  if (!st) return call.ret_void();
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  *st = emu::UtcSystemTime(ts.tv_sec);
  st->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
  call.ret_void();
}
