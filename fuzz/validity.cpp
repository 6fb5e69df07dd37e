// The receiver's validity record shown in the handheld's local time. For a
// fuzzed time zone (stored in the registry as the handheld keeps it) and
// validity records (handed out by the receiver's driver), the program's own
// conversion through the public API (the dialog asking the open port) shows
// the same as this file's conversion, written from the calendar's and the
// zone's definitions; no crash, no sanitizer report.
//
// The dialog is made once: the fuzzing runs inside it (its own main() calls
// libFuzzer's driver from the dialog's start), each input asking it anew.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/wide.h"
#include "GpsReceiver.h"
#include "kernel/timezone.h"
#include "support/dialog_harness.h"

namespace {

void Check(bool ok, const std::string& what = "") {
  if (ok) return;
  fprintf(stderr, "validity: %s\n", what.c_str());
  abort();
}

constexpr int64_t kDay = 86400;
// The platform's range of UTC moments (and of the local time _mktime64
// reads): 1970-01-01 00:00:00 .. 3000-12-31 23:59:59.
constexpr int64_t kLast = 32535215999;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool Leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int64_t y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 by whole 400-year cycles (146097 days each) and a walk
// through the rest.
int64_t DaysFrom1970(int64_t y, int m, int64_t d) {
  int64_t cycles = FloorDiv(y - 1970, 400);
  int64_t days = cycles * 146097;
  for (int64_t year = 1970 + cycles * 400; year < y; ++year) days += Leap(year) ? 366 : 365;
  for (int month = 1; month < m; ++month) days += DaysIn(y, month);
  return days + d - 1;
}

void Civil(int64_t days, int64_t* y, int* m, int* d) {
  int64_t cycles = FloorDiv(days, 146097);
  days -= cycles * 146097;
  int64_t year = 1970 + cycles * 400;
  while (days >= (Leap(year) ? 366 : 365)) days -= Leap(year) ? 366 : 365, ++year;
  int month = 1;
  while (days >= DaysIn(year, month)) days -= DaysIn(year, month), ++month;
  *y = year, *m = month, *d = static_cast<int>(days) + 1;
}

int Weekday(int64_t days) { return static_cast<int>(((days % 7) + 7 + 4) % 7); }  // 1970: Thursday

// When a zone's change date takes effect in `year`, on the clock it is
// given in; none when it does not apply that year or is malformed.
std::optional<int64_t> Change(const SYSTEMTIME& c, int64_t year) {
  if (c.wMonth < 1 || c.wMonth > 12 || c.wHour > 23 || c.wMinute > 59 || c.wSecond > 59)
    return std::nullopt;
  int64_t day;
  if (c.wYear != 0) {
    if (c.wYear != year || c.wDay < 1 || c.wDay > DaysIn(year, c.wMonth)) return std::nullopt;
    day = DaysFrom1970(year, c.wMonth, c.wDay);
  } else {
    if (c.wDay < 1 || c.wDay > 5 || c.wDayOfWeek > 6) return std::nullopt;
    std::vector<int64_t> days;  // of the month that fall on that weekday
    for (int d = 1; d <= DaysIn(year, c.wMonth); ++d) {
      int64_t at = DaysFrom1970(year, c.wMonth, d);
      if (Weekday(at) == c.wDayOfWeek) days.push_back(at);
    }
    day = c.wDay <= days.size() ? days[c.wDay - 1] : days.back();  // 5: the last
  }
  return day * kDay + c.wHour * 3600 + c.wMinute * 60 + c.wSecond;
}

int64_t StandardWest(const TIME_ZONE_INFORMATION& z) {
  return (int64_t{z.Bias} + (z.StandardDate.wMonth ? z.StandardBias : 0)) * 60;
}

// Seconds west of UTC at the instant `utc`.
int64_t WestAt(const TIME_ZONE_INFORMATION& z, int64_t utc) {
  int64_t west = StandardWest(z);
  int64_t shift = (int64_t{z.DaylightBias} - z.StandardBias) * 60;
  if (!z.DaylightDate.wMonth || !z.StandardDate.wMonth || !shift) return west;
  int64_t local = utc - west, year;
  int month, day;
  Civil(FloorDiv(local, kDay), &year, &month, &day);
  // Daylight time starts on the standard clock and ends on the daylight one.
  auto start = Change(z.DaylightDate, year), end = Change(z.StandardDate, year);
  if (!start || !end) return west;
  *end += shift;
  bool daylight = *start < *end ? local >= *start && local < *end : local >= *start || local < *end;
  return daylight ? west + shift : west;
}

// What the program shows for the record: the status text, or the message.
std::string Expected(const TIME_ZONE_INFORMATION& z, const EphemerisValidity& v) {
  char text[96];
  snprintf(text, sizeof text, "message Invalid validity date %d-%d-%d %d:%d", v.year, v.month,
           v.day, v.hour, v.minute);
  if (v.year < 1900 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31 || v.hour < 0 ||
      v.hour > 23 || v.minute < 0 || v.minute > 59)
    return text;
  // The record's fields are UTC; a day past the month's end rolls over.
  int64_t utc =
      DaysFrom1970(v.year, v.month, 1) * kDay + (v.day - 1) * kDay + v.hour * 3600 + v.minute * 60;
  if (utc < 0 || utc > kLast) return text;
  // The program has the runtime read the fields as local standard time
  // first: that moment, too, must lie in the range.
  if (utc + StandardWest(z) < 0 || utc + StandardWest(z) > kLast) return text;
  int64_t local = utc - WestAt(z, utc);
  int64_t year;
  int month, day;
  Civil(FloorDiv(local, kDay), &year, &month, &day);
  int64_t secs = local - FloorDiv(local, kDay) * kDay;
  snprintf(text, sizeof text, "status Updated until %04lld-%02d-%02d %02lld:%02lld",
           static_cast<long long>(year), month, day, static_cast<long long>(secs / 3600),
           static_cast<long long>(secs / 60 % 60));
  return text;
}

// Mostly near the range that makes sense, sometimes any value.
template <class T>
T Plausible(FuzzedDataProvider& in, T low, T high) {
  return in.ConsumeIntegralInRange(0, 7) ? in.ConsumeIntegralInRange<T>(low, high)
                                         : in.ConsumeIntegral<T>();
}

SYSTEMTIME ChangeDate(FuzzedDataProvider& in) {
  SYSTEMTIME c{};
  c.wYear = in.ConsumeBool() ? 0 : Plausible<WORD>(in, 1965, 3005);
  c.wMonth = Plausible<WORD>(in, 0, 13);
  c.wDayOfWeek = Plausible<WORD>(in, 0, 7);
  c.wDay = Plausible<WORD>(in, 0, 32);
  c.wHour = Plausible<WORD>(in, 0, 24);
  c.wMinute = Plausible<WORD>(in, 0, 60);
  c.wSecond = Plausible<WORD>(in, 0, 60);
  return c;
}

std::string g_root;
HarnessDlg* g_dialog = nullptr;
HANDLE g_port = INVALID_HANDLE_VALUE;

int OneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = Plausible<LONG>(in, -1500, 1500);
  zone.StandardBias = Plausible<LONG>(in, -120, 120);
  zone.DaylightBias = Plausible<LONG>(in, -120, 120);
  zone.StandardDate = ChangeDate(in);
  zone.DaylightDate = ChangeDate(in);
  std::vector<EphemerisValidity> records;
  while (in.remaining_bytes() && records.size() < 16) {
    EphemerisValidity v;
    v.year = Plausible<INT>(in, 1890, 3010);
    v.month = Plausible<INT>(in, 0, 13);
    v.day = Plausible<INT>(in, 0, 32);
    v.hour = Plausible<INT>(in, -1, 24);
    v.minute = Plausible<INT>(in, -1, 60);
    records.push_back(v);
  }

  // The zone as the handheld keeps it; the runtime reads it afresh.
  HKEY key = nullptr;
  Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Time", 0, nullptr, 0, 0, nullptr, &key, nullptr) ==
        ERROR_SUCCESS);
  Check(RegSetValueExW(key, u"TimeZoneInformation", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&zone), sizeof zone) == ERROR_SUCCESS);
  RegCloseKey(key);
  emu::ResetCrtTimeZone();

  for (const auto& v : records) {
    std::ofstream(emu::DevicePath("dev/COM7/validity"), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(&v), sizeof v);
    SetDlgItemTextW(g_dialog->m_hWnd, IDC_STATUS, u"");
    CString message = g_dialog->QueryEphemerisValidity(g_port);
    WCHAR status[128] = {};
    GetDlgItemTextW(g_dialog->m_hWnd, IDC_STATUS, status, 128);
    std::string got = message.IsEmpty() ? "status " + emu::ToUtf8(status)
                                        : "message " + emu::ToUtf8(static_cast<LPCWSTR>(message));
    std::string want = Expected(zone, v);
    Check(got == want, "shown \"" + got + "\", expected \"" + want + "\"");
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv,
                                   int (*test_one_input)(const uint8_t* data, size_t size));

int main(int argc, char** argv) {
  const char* tmp = getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
  g_root = base + "/skylode-fuzz-XXXXXX";
  if (!mkdtemp(g_root.data())) abort();
  emu::SetDeviceDir(g_root + "/device");
  atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(g_root, ec);
  });
  // The script display, its output dropped (a long run would pile it up).
  std::istringstream input;
  std::ostream dropped(nullptr);
  emu::UseScriptDisplay(input, dropped);
  SHInitExtraControls();
  int result = 0;
  HarnessDlg dlg;
  dlg.body = [&](HarnessDlg& self) {
    g_dialog = &self;
    g_port =
        CreateFileW(u"COM7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(g_port != INVALID_HANDLE_VALUE, "the port did not open");
    result = LLVMFuzzerRunDriver(&argc, &argv, OneInput);
    CloseHandle(g_port);
  };
  dlg.DoModal();
  return result;
}
