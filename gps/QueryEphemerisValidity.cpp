#include <afxwin.h>
#include <string.h>

#include <time.h>

#include "GpsReceiver.h"
#include "SkylodeDlg.h"
#include "resource.h"

namespace {

bool InRange(const EphemerisValidity& v) {
  return v.year >= 1900 && v.month >= 1 && v.month <= 12 && v.day >= 1 && v.day <= 31 &&
         v.hour >= 0 && v.hour <= 23 && v.minute >= 0 && v.minute <= 59;
}

// The record's UTC moment in local time; false when it cannot be shown.
bool ToLocalTime(const EphemerisValidity& v, struct tm* local) {
  if (!InRange(v)) return false;
  struct tm t = {};
  t.tm_year = v.year - 1900;
  t.tm_mon = v.month - 1;
  t.tm_mday = v.day;  // a day past the month's end rolls into the next month
  t.tm_hour = v.hour;
  t.tm_min = v.minute;
  t.tm_isdst = 0;  // read as local standard time; the zone's offset is taken off below
  __time64_t when = _mktime64(&t);
  if (when == -1) return false;
  long west = 0;
  _get_timezone(&west);
  when -= west;
  struct tm* result = _localtime64(&when);
  if (!result) return false;
  *local = *result;
  return true;
}

}  // namespace

CString CSkylodeDlg::QueryEphemerisValidity(HANDLE port) {
  EphemerisValidity validity;
  memset(&validity, 0, sizeof(validity));
  DWORD returned = 0;
  CString result;
  if (!DeviceIoControl(port, IOCTL_EPHEMERIS_VALIDITY, NULL, 0, &validity, sizeof(validity),
                       &returned, NULL)) {
    result.Format(TEXT("Failed to get result from comport, error %d"), GetLastError());
    return result;
  }
  struct tm local;
  if (!ToLocalTime(validity, &local)) {
    result.Format(TEXT("Invalid validity date %d-%d-%d %d:%d"), validity.year, validity.month,
                  validity.day, validity.hour, validity.minute);
    return result;
  }
  CString status;
  status.Format(TEXT("Updated until %04d-%02d-%02d %02d:%02d"), local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  SetDlgItemText(IDC_STATUS, status);
  ::ShowWindow(::GetDlgItem(m_hWnd, IDC_STATUS), SW_SHOW);
  return result;
}
