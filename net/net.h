// Network access: the data connection held during an update, and the
// download of the ephemeris file.
#pragma once

#include <windows.h>

class CProgressCtrl;

// Makes sure the handheld has a data connection, asking the user whether to
// go on when a test fails. False when the user answered No: the update ends
// and nothing is held. True otherwise, with the connection's handle (which
// may be null) for ReleaseInternetConnection.
bool EstablishInternetConnection(HWND owner, HANDLE* connection);

// Releases the handle from EstablishInternetConnection, null included.
void ReleaseInternetConnection(HANDLE connection);

// Downloads the address into `target`, through a temporary file "tmp" in the
// target's folder, driving `progress` (may be null). Shows its own failure
// in a message box and leaves the target as it was; true on success.
bool DownloadHttpFile(LPCWSTR address, LPCWSTR target, CProgressCtrl* progress);
