#include "afxstr.h"

void CString::Format(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCWSTR format, va_list args) {
  va_list count_args;
  va_copy(count_args, args);
  int length = _vscwprintf(format, count_args);
  va_end(count_args);
  if (length < 0) length = 0;
  decltype(m_text) text(static_cast<size_t>(length) + 1, u'\0');
  _vsnwprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  m_text.swap(text);
}
