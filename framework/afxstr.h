// CString: the framework's wide string. Its memory comes from the process
// heap, and running out of it raises CMemoryException, as in the framework.
#pragma once

#include <windows.h>

#include <string>

#include "afxexcept.h"

template <class T>
struct CHeapAllocator {
  using value_type = T;
  CHeapAllocator() = default;
  template <class U>
  CHeapAllocator(const CHeapAllocator<U>&) {}
  T* allocate(size_t n) {
    void* p = HeapAlloc(GetProcessHeap(), 0, n * sizeof(T));
    if (!p) AfxThrowMemoryException();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { HeapFree(GetProcessHeap(), 0, p); }
  template <class U>
  bool operator==(const CHeapAllocator<U>&) const {
    return true;
  }
};

class CString {
 public:
  CString() = default;
  CString(LPCWSTR s) : m_text(s ? s : TEXT("")) {}
  CString(LPCWSTR s, int length) : m_text(s, static_cast<size_t>(length)) {}

  operator LPCWSTR() const { return m_text.c_str(); }
  LPCWSTR GetString() const { return m_text.c_str(); }
  int GetLength() const { return static_cast<int>(m_text.size()); }
  BOOL IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }
  WCHAR GetAt(int i) const { return m_text[static_cast<size_t>(i)]; }
  int Compare(LPCWSTR s) const { return wcscmp(m_text.c_str(), s); }
  int CompareNoCase(LPCWSTR s) const { return _wcsicmp(m_text.c_str(), s); }
  bool operator==(LPCWSTR s) const { return Compare(s) == 0; }

  CString& operator=(LPCWSTR s) {
    m_text = s ? s : TEXT("");
    return *this;
  }
  CString& operator+=(LPCWSTR s) {
    m_text += s;
    return *this;
  }
  CString& operator+=(WCHAR c) {
    m_text += c;
    return *this;
  }

  // printf-style, with the platform's format rules (%d, %s wide, %02d, ...).
  void Format(LPCWSTR format, ...);
  void FormatV(LPCWSTR format, va_list args);

 private:
  std::basic_string<WCHAR, std::char_traits<WCHAR>, CHeapAllocator<WCHAR>> m_text;
};

inline CString operator+(const CString& a, LPCWSTR b) {
  CString r(a);
  r += b;
  return r;
}
