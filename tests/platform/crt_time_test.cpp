// The device's time zone, the runtime's calendar-time conversion over it, and
// the host's zone as the handheld stores it.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "kernel/timezone.h"

namespace {

SYSTEMTIME Rule(WORD month, WORD week, WORD hour, WORD day_of_week = 0, WORD year = 0) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDayOfWeek = day_of_week;
  st.wDay = week;
  st.wHour = hour;
  return st;
}

TIME_ZONE_INFORMATION Zone(LONG bias, SYSTEMTIME daylight = {}, SYSTEMTIME standard = {},
                           LONG daylight_bias = 0) {
  TIME_ZONE_INFORMATION tzi{};
  tzi.Bias = bias;
  tzi.DaylightDate = daylight;
  tzi.StandardDate = standard;
  tzi.DaylightBias = daylight_bias;
  return tzi;
}

const TIME_ZONE_INFORMATION kUtc = Zone(0);
const TIME_ZONE_INFORMATION kEast8 = Zone(-480);
// Last Sunday of March 02:00 -> last Sunday of October 03:00.
const TIME_ZONE_INFORMATION kEurope = Zone(-60, Rule(3, 5, 2), Rule(10, 5, 3), -60);
// Second Sunday of March 02:00 -> first Sunday of November 02:00.
const TIME_ZONE_INFORMATION kUsEast = Zone(300, Rule(3, 2, 2), Rule(11, 1, 2), -60);
// First Sunday of October 02:00 -> first Sunday of April 03:00.
const TIME_ZONE_INFORMATION kSydney = Zone(-600, Rule(10, 1, 2), Rule(4, 1, 3), -60);
// Daylight saving in 2009 only, as absolute dates.
const TIME_ZONE_INFORMATION kOnly2009 =
    Zone(-60, Rule(4, 1, 2, 0, 2009), Rule(9, 30, 3, 0, 2009), -60);

struct Fields {
  int year, month, day, hour, minute, second = 0;
};

tm MakeTm(const Fields& f, int isdst = 0) {
  tm t{};
  t.tm_year = f.year - 1900;
  t.tm_mon = f.month - 1;
  t.tm_mday = f.day;
  t.tm_hour = f.hour;
  t.tm_min = f.minute;
  t.tm_sec = f.second;
  t.tm_isdst = isdst;
  return t;
}

std::string Show(const tm& t) {
  char buf[64];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d dst=%d", t.tm_year + 1900, t.tm_mon + 1,
           t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_isdst);
  return buf;
}

std::string Show(const Fields& f, int isdst) { return Show(MakeTm(f, isdst)); }

class CrtTimeTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    emu::ResetCrtTimeZone();
  }
  void TearDown() override {
    emu::ResetCrtTimeZone();
    DeviceTest::TearDown();
  }

  // Stores the zone as the device's registry holds it; the runtime reads it
  // again at its next conversion.
  void UseZone(const TIME_ZONE_INFORMATION& tzi) {
    WriteRegistry(
        "[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:" + Hex(&tzi, sizeof tzi) + "\n");
    emu::ResetCrtTimeZone();
  }

  static std::string Hex(const void* data, size_t size) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < size; ++i) {
      snprintf(b, sizeof b, "%s%02x", i ? "," : "", static_cast<const unsigned char*>(data)[i]);
      out += b;
    }
    return out;
  }

  // A UTC record shown in the device's local time, the way the program does:
  // read as standard time, take the zone's offset back off, then localise.
  std::string UtcToLocal(const Fields& utc) {
    tm t = MakeTm(utc);
    __time64_t as_local = _mktime64(&t);
    long west = 0;
    EXPECT_EQ(_get_timezone(&west), 0);
    __time64_t instant = as_local - west;
    tm* local = _localtime64(&instant);
    return local ? Show(*local) : "null";
  }
};

TEST_F(CrtTimeTest, UtcRecordsShownInLocalTime) {
  struct Case {
    const char* zone_name;
    const TIME_ZONE_INFORMATION* zone;
    Fields utc, local;
    int isdst;
  };
  const Case cases[] = {
      {"east8", &kEast8, {2009, 6, 15, 14, 30}, {2009, 6, 15, 22, 30}, 0},
      {"europe", &kEurope, {2009, 7, 1, 12, 0}, {2009, 7, 1, 14, 0}, 1},
      {"europe", &kEurope, {2009, 12, 31, 23, 30}, {2010, 1, 1, 0, 30}, 0},
      // Around the changes (29 March and 25 October 2009, 01:00 UTC).
      {"europe", &kEurope, {2009, 3, 29, 0, 59, 59}, {2009, 3, 29, 1, 59, 59}, 0},
      {"europe", &kEurope, {2009, 3, 29, 1, 0}, {2009, 3, 29, 3, 0}, 1},
      {"europe", &kEurope, {2009, 10, 25, 0, 59, 59}, {2009, 10, 25, 2, 59, 59}, 1},
      {"europe", &kEurope, {2009, 10, 25, 1, 0}, {2009, 10, 25, 2, 0}, 0},
      {"us", &kUsEast, {2009, 1, 1, 2, 0}, {2008, 12, 31, 21, 0}, 0},
      {"us", &kUsEast, {2009, 3, 8, 6, 59}, {2009, 3, 8, 1, 59}, 0},
      {"us", &kUsEast, {2009, 3, 8, 7, 0}, {2009, 3, 8, 3, 0}, 1},
      {"us", &kUsEast, {2009, 11, 1, 5, 59}, {2009, 11, 1, 1, 59}, 1},
      {"us", &kUsEast, {2009, 11, 1, 6, 0}, {2009, 11, 1, 1, 0}, 0},
      // Southern hemisphere: daylight time over the turn of the year.
      {"sydney", &kSydney, {2009, 1, 15, 0, 0}, {2009, 1, 15, 11, 0}, 1},
      {"sydney", &kSydney, {2009, 7, 1, 0, 0}, {2009, 7, 1, 10, 0}, 0},
      {"sydney", &kSydney, {2009, 4, 4, 15, 59}, {2009, 4, 5, 2, 59}, 1},
      {"sydney", &kSydney, {2009, 4, 4, 16, 0}, {2009, 4, 5, 2, 0}, 0},
      {"sydney", &kSydney, {2009, 10, 3, 15, 59}, {2009, 10, 4, 1, 59}, 0},
      {"sydney", &kSydney, {2009, 10, 3, 16, 0}, {2009, 10, 4, 3, 0}, 1},
      {"sydney", &kSydney, {2009, 12, 31, 13, 30}, {2010, 1, 1, 0, 30}, 1},
      // Absolute change dates apply in their own year only.
      {"2009 only", &kOnly2009, {2009, 7, 1, 12, 0}, {2009, 7, 1, 14, 0}, 1},
      {"2009 only", &kOnly2009, {2010, 7, 1, 12, 0}, {2010, 7, 1, 13, 0}, 0},
      {"utc", &kUtc, {2009, 4, 31, 10, 0}, {2009, 5, 1, 10, 0}, 0},
      {"utc", &kUtc, {2009, 2, 29, 0, 0}, {2009, 3, 1, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    UseZone(*c.zone);
    EXPECT_EQ(UtcToLocal(c.utc), Show(c.local, c.isdst)) << c.zone_name << " " << Show(c.utc, 0);
  }
}

TEST_F(CrtTimeTest, MktimeNormalisesFields) {
  UseZone(kUtc);
  struct Case {
    Fields in, out;
    int wday, yday;
  };
  const Case cases[] = {
      {{2009, 4, 31, 10, 0}, {2009, 5, 1, 10, 0}, 5, 120},
      {{2009, 2, 30, 0, 0}, {2009, 3, 2, 0, 0}, 1, 60},
      {{2008, 2, 30, 0, 0}, {2008, 3, 1, 0, 0}, 6, 60},
      {{2009, 6, 15, 23, 60}, {2009, 6, 16, 0, 0}, 2, 166},
      {{2009, 1, 0, 0, 0}, {2008, 12, 31, 0, 0}, 3, 365},
      {{2009, 0, 10, 0, 0}, {2008, 12, 10, 0, 0}, 3, 344},
      {{2009, 13, 1, -1, 0}, {2009, 12, 31, 23, 0}, 4, 364},
      {{2009, 3, 1, 0, 0, -1}, {2009, 2, 28, 23, 59, 59}, 6, 58},
      {{2009, 1, 1, 0, 0, 86400 * 365}, {2010, 1, 1, 0, 0}, 5, 0},
  };
  for (const auto& c : cases) {
    tm t = MakeTm(c.in);
    __time64_t got = _mktime64(&t);
    tm want = MakeTm(c.out);
    EXPECT_EQ(Show(t), Show(want)) << Show(c.in, 0);
    EXPECT_EQ(t.tm_wday, c.wday) << Show(c.in, 0);
    EXPECT_EQ(t.tm_yday, c.yday) << Show(c.in, 0);
    tm* back = _localtime64(&got);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Show(*back), Show(want));
  }
}

TEST_F(CrtTimeTest, MktimeRange) {
  struct Case {
    const TIME_ZONE_INFORMATION* zone;
    Fields local;
    __time64_t want;
  };
  // The range holds for the local time read and for the UTC moment it names.
  const Case cases[] = {
      {&kUtc, {1970, 1, 1, 0, 0}, 0},
      {&kUtc, {1969, 12, 31, 23, 59, 59}, -1},
      {&kUtc, {1970, 1, 0, 12, 0}, -1},
      {&kUtc, {3000, 12, 31, 23, 59, 59}, 32535215999},
      {&kUtc, {3001, 1, 1, 0, 0}, -1},
      {&kUtc, {3000, 12, 31, 23, 59, 60}, -1},
      {&kUsEast, {1970, 1, 1, 0, 0}, 5 * 3600},
      {&kEast8, {1970, 1, 1, 8, 0}, 0},
      {&kEast8, {3000, 12, 31, 23, 59, 59}, 32535215999 - 8 * 3600},
      {&kEast8, {1970, 1, 1, 7, 0, 0}, -1},
      {&kUsEast, {3000, 12, 31, 18, 59, 59}, 32535215999},
      {&kUsEast, {3000, 12, 31, 19, 0, 0}, -1},
  };
  for (const auto& c : cases) {
    UseZone(*c.zone);
    tm t = MakeTm(c.local);
    tm before = t;
    EXPECT_EQ(_mktime64(&t), c.want) << Show(c.local, 0);
    if (c.want == -1) {
      EXPECT_EQ(Show(t), Show(before)) << "left untouched";
    }
  }
}

TEST_F(CrtTimeTest, MktimeDaylightFlag) {
  UseZone(kEurope);
  struct Case {
    Fields local;
    int isdst_in;
    Fields utc;
    int isdst_out;
  };
  const Case cases[] = {
      // 0: standard time whatever the season; > 0: daylight time.
      {{2009, 7, 1, 12, 0}, 0, {2009, 7, 1, 11, 0}, 0},
      {{2009, 7, 1, 12, 0}, 1, {2009, 7, 1, 10, 0}, 1},
      {{2009, 1, 1, 12, 0}, 1, {2009, 1, 1, 10, 0}, 1},
      // < 0: the rules decide, by the clock time read as standard time.
      {{2009, 7, 1, 12, 0}, -1, {2009, 7, 1, 10, 0}, 1},
      {{2009, 1, 1, 12, 0}, -1, {2009, 1, 1, 11, 0}, 0},
      {{2009, 3, 29, 1, 59}, -1, {2009, 3, 29, 0, 59}, 0},
      {{2009, 3, 29, 3, 0}, -1, {2009, 3, 29, 1, 0}, 1},
      {{2009, 10, 25, 1, 59}, -1, {2009, 10, 24, 23, 59}, 1},
      // The repeated hour after the autumn change is taken as standard time.
      {{2009, 10, 25, 2, 30}, -1, {2009, 10, 25, 1, 30}, 0},
  };
  for (const auto& c : cases) {
    tm t = MakeTm(c.local, c.isdst_in);
    __time64_t got = _mktime64(&t);
    tm utc = MakeTm(c.utc);
    UseZone(kUtc);
    __time64_t want = _mktime64(&utc);
    UseZone(kEurope);
    EXPECT_EQ(got, want) << Show(c.local, c.isdst_in);
    EXPECT_EQ(t.tm_isdst, c.isdst_out) << Show(c.local, c.isdst_in);
  }

  // A zone without daylight saving has no daylight time to shift by.
  UseZone(kEast8);
  tm t = MakeTm({2009, 7, 1, 8, 0}, 1);
  EXPECT_EQ(_mktime64(&t), 1246406400);
  EXPECT_EQ(t.tm_isdst, 0);
}

TEST_F(CrtTimeTest, LocaltimeRange) {
  struct Case {
    const TIME_ZONE_INFORMATION* zone;
    __time64_t instant;
    const char* want;
  };
  const Case cases[] = {
      {&kUtc, -1, "null"},
      {&kUtc, 0, "1970-01-01 00:00:00 dst=0"},
      {&kUtc, 32535215999, "3000-12-31 23:59:59 dst=0"},
      {&kUtc, 32535216000, "null"},
      // Only the instant is bounded: its local time may lie outside.
      {&kUsEast, 0, "1969-12-31 19:00:00 dst=0"},
      {&kUsEast, 5 * 3600, "1970-01-01 00:00:00 dst=0"},
      {&kEast8, 0, "1970-01-01 08:00:00 dst=0"},
      {&kEast8, 32535215999 - 8 * 3600, "3000-12-31 23:59:59 dst=0"},
      {&kEast8, 32535215999, "3001-01-01 07:59:59 dst=0"},
      {&kEurope, 32535215999 - 3600, "3000-12-31 23:59:59 dst=0"},
  };
  for (const auto& c : cases) {
    UseZone(*c.zone);
    tm* t = _localtime64(&c.instant);
    EXPECT_EQ(t ? Show(*t) : "null", c.want) << c.instant;
  }
  EXPECT_EQ(_localtime64(nullptr), nullptr);
}

TEST_F(CrtTimeTest, ZoneValues) {
  TIME_ZONE_INFORMATION standard_bias = kEurope;
  standard_bias.StandardBias = 10;
  TIME_ZONE_INFORMATION no_dates_bias = kEast8;
  no_dates_bias.StandardBias = 10;
  no_dates_bias.DaylightBias = -60;
  TIME_ZONE_INFORMATION extreme = kUtc;  // their sum does not fit 32 bits
  extreme.Bias = INT_MIN;
  extreme.StandardBias = -1243;
  extreme.StandardDate.wMonth = 10;
  struct Case {
    const char* name;
    TIME_ZONE_INFORMATION zone;
    long timezone, dstbias;
    int daylight;
  };
  const Case cases[] = {
      {"utc", kUtc, 0, 0, 0},
      {"east8", kEast8, -28800, 0, 0},
      {"europe", kEurope, -3600, -3600, 1},
      {"us", kUsEast, 18000, -3600, 1},
      {"sydney", kSydney, -36000, -3600, 1},
      {"standard bias", standard_bias, -3000, -4200, 1},
      {"bias without dates", no_dates_bias, -28800, -4200, 0},
      {"extreme biases", extreme, (INT_MIN - 1243LL) * 60, 1243 * 60, 0},
  };
  for (const auto& c : cases) {
    UseZone(c.zone);
    long tz = 1, dst = 1;
    int daylight = -1;
    EXPECT_EQ(_get_timezone(&tz), 0);
    EXPECT_EQ(_get_dstbias(&dst), 0);
    EXPECT_EQ(_get_daylight(&daylight), 0);
    EXPECT_EQ(tz, c.timezone) << c.name;
    EXPECT_EQ(dst, c.dstbias) << c.name;
    EXPECT_EQ(daylight, c.daylight) << c.name;
  }
  EXPECT_NE(_get_timezone(nullptr), 0);
}

TEST_F(CrtTimeTest, ExtremeBiasesAreSummedIn64BitsAndCannotBeShown) {
  constexpr int64_t kMax = INT32_MAX, kMin = INT32_MIN;
  struct Case {
    int64_t bias, standard_bias;
    bool dates;  // the standard bias counts only with change dates
    long timezone;
  };
  // In 32 bits the first two sums would wrap to a few minutes, the next two
  // to the other end of the range.
  const Case cases[] = {
      {kMax, kMax, true, (kMax + kMax) * 60}, {kMin, kMin, true, (kMin + kMin) * 60},
      {kMax, 1, true, (kMax + 1) * 60},       {kMin, -1, true, (kMin - 1) * 60},
      {kMax, kMax, false, kMax * 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bias) + " + " + std::to_string(c.standard_bias));
    TIME_ZONE_INFORMATION zone =
        c.dates ? Zone(static_cast<LONG>(c.bias), Rule(3, 5, 2), Rule(10, 5, 3), -60)
                : Zone(static_cast<LONG>(c.bias));
    zone.StandardBias = static_cast<LONG>(c.standard_bias);
    UseZone(zone);
    TIME_ZONE_INFORMATION read{};
    EXPECT_NE(GetTimeZoneInformation(&read), TIME_ZONE_ID_INVALID);
    long tz = 0;
    EXPECT_EQ(_get_timezone(&tz), 0);
    EXPECT_EQ(tz, c.timezone);
    // Thousands of years off: no local time in the platform's range.
    EXPECT_EQ(UtcToLocal({2009, 6, 15, 12, 0}), "null");
    EXPECT_EQ(UtcToLocal({2009, 12, 15, 12, 0}), "null");
  }
}

TEST_F(CrtTimeTest, ZoneIsReadOnceUntilReset) {
  UseZone(kEast8);
  long tz = 0;
  _get_timezone(&tz);
  EXPECT_EQ(tz, -28800);
  WriteRegistry("[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:" +
                Hex(&kUsEast, sizeof kUsEast) + "\n");
  _get_timezone(&tz);
  EXPECT_EQ(tz, -28800);
  emu::ResetCrtTimeZone();
  _get_timezone(&tz);
  EXPECT_EQ(tz, 18000);
}

TEST_F(CrtTimeTest, GetTimeZoneInformationReadsTheRegistry) {
  time_t now = time(nullptr);
  tm utc{};
  gmtime_r(&now, &utc);
  WORD year = static_cast<WORD>(utc.tm_year + 1900);
  // Daylight time all of this year / only in a past year.
  TIME_ZONE_INFORMATION all_year =
      Zone(-60, Rule(1, 1, 0, 0, year), Rule(12, 31, 23, 0, year), -60);
  all_year.StandardDate.wMinute = 59;
  std::u16string name = u"Test Standard Time";
  std::copy(name.begin(), name.end(), all_year.StandardName);

  struct Case {
    const char* name;
    std::string registry;
    TIME_ZONE_INFORMATION want;
    DWORD id;
  };
  const Case cases[] = {
      {"no value", "", kUtc, TIME_ZONE_ID_UNKNOWN},
      {"wrong size", "[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:01,02,03\n", kUtc,
       TIME_ZONE_ID_UNKNOWN},
      {"no dates",
       "[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:" + Hex(&kEast8, 172) + "\n",
       kEast8, TIME_ZONE_ID_UNKNOWN},
      {"daylight",
       "[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:" + Hex(&all_year, 172) + "\n",
       all_year, TIME_ZONE_ID_DAYLIGHT},
      {"standard",
       "[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:" + Hex(&kOnly2009, 172) + "\n",
       kOnly2009, TIME_ZONE_ID_STANDARD},
  };
  for (const auto& c : cases) {
    WriteRegistry(c.registry);
    TIME_ZONE_INFORMATION got;
    memset(&got, 0x55, sizeof got);
    EXPECT_EQ(GetTimeZoneInformation(&got), c.id) << c.name;
    EXPECT_EQ(Hex(&got, sizeof got), Hex(&c.want, sizeof c.want)) << c.name;
  }

  EXPECT_EQ(GetTimeZoneInformation(nullptr), TIME_ZONE_ID_INVALID);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(CrtTimeTest, FailedZoneReadMeansUtc) {
  UseZone(kEast8);
  emu::SetFaults("GetTimeZoneInformation=5");
  TIME_ZONE_INFORMATION tzi{};
  EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_INVALID);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  long tz = 1;
  _get_timezone(&tz);
  EXPECT_EQ(tz, 0);
}

TEST(SystemTime, MatchesTheHostClock) {
  SYSTEMTIME st{};
  time_t before = time(nullptr);
  GetSystemTime(&st);
  time_t after = time(nullptr);
  tm t{};
  t.tm_year = st.wYear - 1900;
  t.tm_mon = st.wMonth - 1;
  t.tm_mday = st.wDay;
  t.tm_hour = st.wHour;
  t.tm_min = st.wMinute;
  t.tm_sec = st.wSecond;
  time_t got = timegm(&t);
  EXPECT_GE(got, before);
  EXPECT_LE(got, after);
  EXPECT_EQ(st.wDayOfWeek, t.tm_wday);
  EXPECT_LT(st.wMilliseconds, 1000);
}

// Runs with the host's TZ set to `zone`, restoring it afterwards.
class HostZone {
 public:
  explicit HostZone(const char* zone) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~HostZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

TEST(HostTimeZone, ReproducesTheHostsOffsets) {
  struct Case {
    const char* tz;
    LONG bias, daylight_bias;
    WORD dst_month, dst_week, dst_hour, std_month, std_week, std_hour;
  };
  const Case cases[] = {
      {"Europe/Berlin", -60, -60, 3, 5, 2, 10, 5, 3},
      {"America/New_York", 300, -60, 3, 2, 2, 11, 1, 2},
      {"Australia/Sydney", -600, -60, 10, 1, 2, 4, 1, 3},
      {"Asia/Shanghai", -480, 0, 0, 0, 0, 0, 0, 0},
      {"UTC", 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    if (!std::filesystem::exists(std::string("/usr/share/zoneinfo/") + c.tz)) {
      ADD_FAILURE() << "the host has no zone data for " << c.tz;
      continue;
    }
    HostZone host(c.tz);
    SCOPED_TRACE(c.tz);
    TIME_ZONE_INFORMATION tzi = emu::HostTimeZoneInformation();
    EXPECT_EQ(tzi.Bias, c.bias);
    EXPECT_EQ(tzi.StandardBias, 0);
    EXPECT_EQ(tzi.DaylightBias, c.daylight_bias);
    EXPECT_EQ(tzi.DaylightDate.wMonth, c.dst_month);
    EXPECT_EQ(tzi.DaylightDate.wDay, c.dst_week);
    EXPECT_EQ(tzi.DaylightDate.wHour, c.dst_hour);
    EXPECT_EQ(tzi.StandardDate.wMonth, c.std_month);
    EXPECT_EQ(tzi.StandardDate.wDay, c.std_week);
    EXPECT_EQ(tzi.StandardDate.wHour, c.std_hour);
    EXPECT_EQ(tzi.DaylightDate.wYear, 0);
    EXPECT_EQ(tzi.StandardDate.wYear, 0);
    EXPECT_NE(tzi.StandardName[0], 0);

    // Every quarter hour of the current year: the same offset as the host.
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    tm jan1{};
    jan1.tm_year = local.tm_year;
    jan1.tm_mday = 1;
    time_t start = timegm(&jan1);
    int mismatches = 0;
    for (time_t t = start; t < start + 365 * 86400 && mismatches < 5; t += 900) {
      tm host{};
      localtime_r(&t, &host);
      bool daylight = emu::ZoneHasDaylight(tzi) && emu::DaylightAtInstant(tzi, t);
      int64_t east = -(emu::StandardOffsetWest(tzi) + (daylight ? emu::DaylightShift(tzi) : 0));
      if (east != host.tm_gmtoff || daylight != (host.tm_isdst > 0)) {
        ++mismatches;
        ADD_FAILURE() << "at " << t << ": host " << host.tm_gmtoff << " dst " << host.tm_isdst
                      << ", ours " << east << " dst " << daylight;
      }
    }
  }
}

}  // namespace
