// The device's time zone (HKEY_LOCAL_MACHINE\Time, as the handheld keeps it),
// its daylight-saving rules, the system clock, and the host's zone expressed
// the way the handheld stores one.
#include "timezone.h"

#include <time.h>

#include <cstring>
#include <optional>

#include "api_call.h"
#include "wide.h"

namespace emu {
namespace {

constexpr int64_t kDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int DaysInMonth(int64_t year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// 0 = Sunday, as SYSTEMTIME counts weekdays (1970-01-01 was a Thursday).
int WeekDay(int64_t days) { return static_cast<int>(((days + 4) % 7 + 7) % 7); }

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
  return day * kDay + d.wHour * 3600 + d.wMinute * 60 + d.wSecond;
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

void CopyName(WCHAR (&dst)[32], const char* name) {
  std::u16string w = FromUtf8(name ? name : "");
  size_t n = w.size() < 31 ? w.size() : 31;
  std::memcpy(dst, w.data(), n * sizeof(WCHAR));
  dst[n] = 0;
}

struct HostState {
  long offset;
  bool dst;
  bool operator==(const HostState&) const = default;
};

HostState HostAt(time_t t) {
  tm local{};
  localtime_r(&t, &local);
  return {local.tm_gmtoff, local.tm_isdst > 0};
}

// The change date as the handheld writes it: the weekday's occurrence in
// the month (5 when it is the month's last), at the clock time before it.
SYSTEMTIME RuleFor(int64_t local_before) {
  int64_t days = FloorDiv(local_before, kDay), secs = local_before - days * kDay;
  int64_t year;
  int month, day;
  CivilFromDays(days, &year, &month, &day);
  SYSTEMTIME st{};
  st.wMonth = static_cast<WORD>(month);
  st.wDayOfWeek = static_cast<WORD>(WeekDay(days));
  st.wDay = static_cast<WORD>(day + 7 > DaysInMonth(year, month) ? 5 : (day - 1) / 7 + 1);
  st.wHour = static_cast<WORD>(secs / 3600);
  st.wMinute = static_cast<WORD>(secs / 60 % 60);
  return st;
}

SYSTEMTIME UtcSystemTime(int64_t secs) {
  int64_t days = FloorDiv(secs, kDay), rest = secs - days * kDay;
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

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* year, int* month, int* day) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = yoe + era * 400 + (m <= 2);
  *month = m;
  *day = d;
}

int64_t StandardOffsetWest(const TIME_ZONE_INFORMATION& tzi) {
  int64_t bias = tzi.Bias + (tzi.StandardDate.wMonth != 0 ? tzi.StandardBias : 0);
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
  CivilFromDays(FloorDiv(local, kDay), &year, &month, &day);
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

TIME_ZONE_INFORMATION HostTimeZoneInformation() {
  tzset();  // pick up a TZ changed since the last call
  TIME_ZONE_INFORMATION tzi{};
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  int64_t year = local.tm_year + 1900;

  std::optional<SYSTEMTIME> to_daylight, to_standard;
  std::optional<long> standard_off, daylight_off;
  // Scan the year hourly (with a margin for the zone's offset), then find
  // each change to the second.
  const time_t first = static_cast<time_t>(DaysFromCivil(year, 1, 1) * kDay - 2 * kDay);
  const time_t last = static_cast<time_t>(DaysFromCivil(year + 1, 1, 1) * kDay + 2 * kDay);
  HostState prev = HostAt(first);
  for (time_t t = first; t < last; t += 3600) {
    HostState next = HostAt(t + 3600);
    (next.dst ? daylight_off : standard_off) = next.offset;
    if (next == prev) continue;
    time_t lo = t, hi = t + 3600;  // prev holds at lo, next at hi
    while (hi - lo > 1) {
      time_t mid = lo + (hi - lo) / 2;
      (HostAt(mid) == prev ? lo : hi) = mid;
    }
    int64_t local_before = static_cast<int64_t>(hi) + prev.offset;
    int64_t y;
    int m, d;
    CivilFromDays(FloorDiv(local_before, kDay), &y, &m, &d);
    if (y == year && next.dst != prev.dst) {
      auto& slot = next.dst ? to_daylight : to_standard;
      if (!slot) slot = RuleFor(local_before);
    }
    prev = next;
  }
  if (to_daylight && to_standard && standard_off && daylight_off) {
    tzi.Bias = static_cast<LONG>(-*standard_off / 60);
    tzi.StandardDate = *to_standard;
    tzi.DaylightDate = *to_daylight;
    tzi.DaylightBias = static_cast<LONG>(-(*daylight_off - *standard_off) / 60);
    CopyName(tzi.StandardName, tzname[0]);
    CopyName(tzi.DaylightName, tzname[1]);
  } else {
    tzi.Bias = static_cast<LONG>(-local.tm_gmtoff / 60);
    CopyName(tzi.StandardName, local.tm_zone ? local.tm_zone : tzname[0]);
    CopyName(tzi.DaylightName, local.tm_zone ? local.tm_zone : tzname[0]);
  }
  return tzi;
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
