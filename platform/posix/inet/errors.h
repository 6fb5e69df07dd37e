// How the HTTP client's failures become the platform's internet error codes.
#pragma once

#include <curl/curl.h>
#include <windows.h>

namespace emu {

// The internet error code (12xxx) for a failed libcurl transfer. `easy` is
// asked for the certificate check's result and the socket error.
DWORD InternetErrorFromCurl(CURLcode code, CURL* easy);

}  // namespace emu
