// Builds the pieces of an emulated handheld that tests prepare: registry
// text for a time zone, receiver validity records.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

inline std::string HexList(const void* data, size_t size) {
  std::string out;
  const auto* p = static_cast<const unsigned char*>(data);
  char buf[4];
  for (size_t i = 0; i < size; ++i) {
    snprintf(buf, sizeof buf, "%02x", p[i]);
    if (i) out += ',';
    out += buf;
  }
  return out;
}

// A day-in-month rule: the `week`-th (5 = last) `weekday` of `month` at `hour`.
inline SYSTEMTIME Rule(WORD month, WORD weekday, WORD week, WORD hour) {
  SYSTEMTIME t = {};
  t.wMonth = month;
  t.wDayOfWeek = weekday;
  t.wDay = week;
  t.wHour = hour;
  return t;
}

inline TIME_ZONE_INFORMATION Zone(LONG bias_minutes) {
  TIME_ZONE_INFORMATION z;
  memset(&z, 0, sizeof z);
  z.Bias = bias_minutes;
  return z;
}

// Central European time: UTC+1, summer time from the last Sunday of March.
inline TIME_ZONE_INFORMATION CentralEurope() {
  TIME_ZONE_INFORMATION z = Zone(-60);
  z.StandardDate = Rule(10, 0, 5, 3);
  z.DaylightDate = Rule(3, 0, 5, 2);
  z.DaylightBias = -60;
  return z;
}

// US Eastern time: UTC-5, daylight time from the second Sunday of March.
inline TIME_ZONE_INFORMATION UsEastern() {
  TIME_ZONE_INFORMATION z = Zone(300);
  z.StandardDate = Rule(11, 0, 1, 2);
  z.DaylightDate = Rule(3, 0, 2, 2);
  z.DaylightBias = -60;
  return z;
}

inline std::string ZoneRegistry(const TIME_ZONE_INFORMATION& z) {
  // Appended: for "..." + std::string GCC 12 at -O3 warns of a false overlap (GCC PR 105329).
  return std::string("[HKEY_LOCAL_MACHINE\\Time]\n\"TimeZoneInformation\"=hex:")
      .append(HexList(&z, sizeof z))
      .append("\n\n");
}

inline const char* kClientKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n";

// The receiver's validity record: five little-endian 32-bit numbers.
inline std::string Record(int year, int month, int day, int hour, int minute) {
  int32_t v[5] = {year, month, day, hour, minute};
  return std::string(reinterpret_cast<const char*>(v), sizeof v);
}

// The lines of `text` that start with `prefix`.
inline std::string LinesStarting(const std::string& text, const std::string& prefix) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (line.rfind(prefix, 0) == 0) out += line + "\n";
    pos = end + 1;
  }
  return out;
}
