// TLS options of one request of the emulated HTTP client.
#pragma once

#include <curl/curl.h>
#include <windows.h>

#include <string>

namespace emu {

// Trusts the host's CA store plus the PEM files in the device folder's ca/
// (the handheld's own extra roots), and applies the platform's certificate
// flags: INTERNET_FLAG_IGNORE_CERT_DATE_INVALID lets an expired or not yet
// valid certificate pass, INTERNET_FLAG_IGNORE_CERT_CN_INVALID one for
// another host name; a certificate from an unknown CA never passes.
// The whole check, the host name included, is OpenSSL's, so that the
// verify result tells which rule a refused certificate broke.
struct TlsPolicy {
  std::string host;  // as in the address, without IPv6 brackets
  DWORD flags = 0;   // INTERNET_FLAG_*
};
// `policy` must outlive the transfer.
void ApplyTlsOptions(CURL* easy, const TlsPolicy* policy);

}  // namespace emu
