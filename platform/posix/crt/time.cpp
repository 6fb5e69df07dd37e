// The C runtime's calendar-time conversion over the device's zone. It reads
// the zone once, at the first conversion, as the handheld's runtime does,
// and never looks at the host's TZ.
#include <cerrno>
#include <ctime>
#include <mutex>
#include <optional>

#include "kernel/timezone.h"

namespace {

constexpr int64_t kDay = 86400;
// The platform's range: 1970-01-01 00:00:00 .. 3000-12-31 23:59:59, for the
// local time _mktime64 reads and for every UTC instant.
const int64_t kMaxSeconds = emu::DaysFromCivil(3001, 1, 1) * kDay - 1;

std::mutex g_lock;
std::optional<TIME_ZONE_INFORMATION> g_zone;

TIME_ZONE_INFORMATION Zone() {
  std::lock_guard guard(g_lock);
  if (!g_zone) {
    TIME_ZONE_INFORMATION tzi{};
    if (GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID) tzi = {};  // UTC
    g_zone = tzi;
  }
  return *g_zone;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Fills the calendar fields of `t` from seconds on a local clock.
void SplitLocal(int64_t local, bool daylight, int64_t offset_east, tm* t) {
  int64_t days = FloorDiv(local, kDay), secs = local - days * kDay;
  int64_t year;
  int month, day;
  emu::CivilFromDays(days, &year, &month, &day);
  *t = tm{};
  t->tm_year = static_cast<int>(year - 1900);
  t->tm_mon = month - 1;
  t->tm_mday = day;
  t->tm_hour = static_cast<int>(secs / 3600);
  t->tm_min = static_cast<int>(secs / 60 % 60);
  t->tm_sec = static_cast<int>(secs % 60);
  t->tm_wday = static_cast<int>(((days + 4) % 7 + 7) % 7);
  t->tm_yday = static_cast<int>(days - emu::DaysFromCivil(year, 1, 1));
  t->tm_isdst = daylight ? 1 : 0;
  t->tm_gmtoff = static_cast<long>(offset_east);
}

}  // namespace

namespace emu {
void ResetCrtTimeZone() {
  std::lock_guard guard(g_lock);
  g_zone.reset();
}
}  // namespace emu

__time64_t _mktime64(struct tm* t) {
  if (!t) return -1;
  // Out-of-range fields carry into the next larger ones; 64-bit sums keep
  // extreme ints from overflowing.
  int64_t year = t->tm_year + int64_t{1900}, month = t->tm_mon;
  year += FloorDiv(month, 12);
  month -= FloorDiv(month, 12) * 12;
  int64_t days = emu::DaysFromCivil(year, month + 1, 1);
  int64_t local = (days + t->tm_mday - 1) * kDay + t->tm_hour * int64_t{3600} +
                  t->tm_min * int64_t{60} + t->tm_sec;
  if (local < 0 || local > kMaxSeconds) return -1;

  const TIME_ZONE_INFORMATION zone = Zone();
  // tm_isdst 0: the fields are standard time whatever the season; > 0:
  // daylight time (a zone without daylight saving has none, so standard);
  // < 0: as the zone's rules have it at that clock time.
  bool daylight =
      emu::ZoneHasDaylight(zone) &&
      (t->tm_isdst > 0 || (t->tm_isdst < 0 && emu::DaylightAtLocalStandard(zone, local)));
  int64_t west = emu::StandardOffsetWest(zone) + (daylight ? emu::DaylightShift(zone) : 0);
  // The range holds for the UTC moment too: a time just after the start of
  // 1970 east of UTC, or at the end of 3000 west of it, lies outside.
  int64_t utc = local + west;
  if (utc < 0 || utc > kMaxSeconds) return -1;
  SplitLocal(local, daylight, -west, t);
  return utc;
}

struct tm* _localtime64(const __time64_t* timer) {
  if (!timer || *timer < 0 || *timer > kMaxSeconds) return nullptr;
  const TIME_ZONE_INFORMATION zone = Zone();
  bool daylight = emu::ZoneHasDaylight(zone) && emu::DaylightAtInstant(zone, *timer);
  int64_t west = emu::StandardOffsetWest(zone) + (daylight ? emu::DaylightShift(zone) : 0);
  // Only the instant is bounded; its local time may lie before 1970 or
  // after 3000.
  int64_t local = *timer - west;
  thread_local tm result;
  SplitLocal(local, daylight, -west, &result);
  return &result;
}

int _get_timezone(long* seconds) {
  if (!seconds) return EINVAL;
  *seconds = static_cast<long>(emu::StandardOffsetWest(Zone()));
  return 0;
}

int _get_dstbias(long* seconds) {
  if (!seconds) return EINVAL;
  *seconds = static_cast<long>(emu::DaylightShift(Zone()));
  return 0;
}

int _get_daylight(int* hours) {
  if (!hours) return EINVAL;
  TIME_ZONE_INFORMATION zone = Zone();
  *hours = zone.DaylightDate.wMonth != 0 && zone.DaylightBias != 0 ? 1 : 0;
  return 0;
}
