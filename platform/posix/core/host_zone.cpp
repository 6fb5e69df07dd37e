#include "core/host_zone.h"

#include <time.h>

#include <cstring>
#include <optional>
#include <string>

#include "core/calendar.h"
#include "core/wide.h"

namespace emu {
namespace {

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
  int64_t days = FloorDiv(local_before, kSecondsPerDay),
          secs = local_before - days * kSecondsPerDay;
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

}  // namespace

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
  const time_t first =
      static_cast<time_t>(DaysFromCivil(year, 1, 1) * kSecondsPerDay - 2 * kSecondsPerDay);
  const time_t last =
      static_cast<time_t>(DaysFromCivil(year + 1, 1, 1) * kSecondsPerDay + 2 * kSecondsPerDay);
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
    CivilFromDays(FloorDiv(local_before, kSecondsPerDay), &y, &m, &d);
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
