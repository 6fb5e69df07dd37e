// The GPS receiver on a COM port: the folder dev/COMn/ of the device folder.
// A handle holds an exclusive flock on dev/COMn/lock for its lifetime, so
// one program at a time talks to the receiver.
#pragma once

#include <windows.h>

namespace emu {

// Loads an ephemeris file (the input buffer) into the receiver.
constexpr DWORD kIoctlLoadEphemeris = 0x00220051;
// Reads the end of the loaded data's validity: five little-endian int32
// (year, month 1..12, day, hour, minute, UTC) = 20 bytes.
constexpr DWORD kIoctlEphemerisValidity = 0x00220052;
constexpr DWORD kValidityBytes = 20;
// How long a load stays valid.
constexpr int kEphemerisValidDays = 7;

// Opens port `n`: a handle, or INVALID_HANDLE_VALUE with *error =
// ERROR_FILE_NOT_FOUND (no such port) or ERROR_ACCESS_DENIED (in use).
HANDLE OpenPort(int n, DWORD* error);

bool IsPortHandle(HANDLE h);

}  // namespace emu
