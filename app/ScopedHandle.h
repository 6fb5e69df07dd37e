// Closes a kernel handle (a file or the receiver's port) when it goes out of
// scope, so that an error raised while a result text is built cannot leave it
// open.
#pragma once

#include <windows.h>

// INVALID_HANDLE_VALUE when the open failed.
class CScopedHandle {
 public:
  explicit CScopedHandle(HANDLE h) : m_h(h) {}
  ~CScopedHandle() {
    if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
  }
  CScopedHandle(const CScopedHandle&) = delete;
  CScopedHandle& operator=(const CScopedHandle&) = delete;
  operator HANDLE() const { return m_h; }

 private:
  HANDLE m_h;
};
