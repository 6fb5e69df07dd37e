// The contract with the GPS receiver's COM-port driver.
#pragma once

#include <windows.h>
#include <winioctl.h>

#define IOCTL_EPHEMERIS_LOAD CTL_CODE(FILE_DEVICE_UNKNOWN, 20, METHOD_IN_DIRECT, FILE_ANY_ACCESS)
#define IOCTL_EPHEMERIS_VALIDITY \
  CTL_CODE(FILE_DEVICE_UNKNOWN, 20, METHOD_OUT_DIRECT, FILE_ANY_ACCESS)
static_assert(IOCTL_EPHEMERIS_LOAD == 0x00220051 && IOCTL_EPHEMERIS_VALIDITY == 0x00220052);

// Until when the receiver's data is valid, in UTC, to the minute.
struct EphemerisValidity {
  INT year;
  INT month;
  INT day;
  INT hour;
  INT minute;
};
static_assert(sizeof(EphemerisValidity) == 20);

// Opens the receiver's port exclusively, for reading and writing.
HANDLE OpenGpsPort(LPCWSTR portName);
