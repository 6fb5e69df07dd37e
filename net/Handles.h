// Closes the download's HTTP client handles when they go out of scope, so
// that an error raised on the way (memory running out) cannot leave them open.
#pragma once

#include <windows.h>
#include <wininet.h>

// An HTTP client handle (session or request); null when the open failed.
class CInternetHandle {
 public:
  explicit CInternetHandle(HINTERNET h) : m_h(h) {}
  ~CInternetHandle() {
    if (m_h) ::InternetCloseHandle(m_h);
  }
  CInternetHandle(const CInternetHandle&) = delete;
  CInternetHandle& operator=(const CInternetHandle&) = delete;
  operator HINTERNET() const { return m_h; }

 private:
  HINTERNET m_h;
};
