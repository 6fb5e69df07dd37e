// The handheld's C runtime, where the desktop's differs.
#include <stdlib.h>
#include <time.h>

namespace {

// The handheld's runtime takes the time zone from the system alone. The
// desktop's reads a TZ variable first, and Wine hands the Unix one
// ("Europe/Berlin") through, which it misreads as a zone without offset.
struct SystemTimeZoneOnly {
  SystemTimeZoneOnly() { _wputenv(L"TZ="); }
} g_system_time_zone_only;

// mingw's import library for the runtime lacks the call.
errno_t __cdecl GetTimezone(long* seconds) {
  if (!seconds) return EINVAL;
  _tzset();
  *seconds = _timezone;
  return 0;
}

}  // namespace

// What the program's dllimport declaration of _get_timezone calls through.
extern "C" {
errno_t(__cdecl* __imp__get_timezone)(long*) = GetTimezone;
}
