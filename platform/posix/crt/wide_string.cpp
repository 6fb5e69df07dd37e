// The C runtime's UTF-16 string functions (WCHAR is char16_t here, so these
// are our own overloads, not the host's wchar_t ones).
#include <windows.h>

#include <climits>
#include <cstdint>

namespace {

WCHAR FoldAscii(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c; }

bool IsBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

size_t wcslen(const WCHAR* s) {
  const WCHAR* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
  WCHAR* d = dst;
  while ((*d++ = *src++) != 0) {
  }
  return dst;
}

// As the C library does: pads with NULs up to n, and leaves dst unterminated
// when src has n or more characters.
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
  size_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = 0;
  return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
  wcscpy(dst + wcslen(dst), src);
  return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b) { return wcsncmp(a, b, SIZE_MAX); }

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (!a[i]) break;
  }
  return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return _wcsnicmp(a, b, SIZE_MAX); }

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (!x) break;
  }
  return 0;
}

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* find) {
  size_t n = wcslen(find);
  if (n == 0) return s;
  for (; *s; ++s)
    if (*s == *find && wcsncmp(s, find, n) == 0) return s;
  return nullptr;
}

// Like strchr, the terminating NUL counts as part of the string.
const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (!*s) return nullptr;
  }
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* last = nullptr;
  for (;; ++s) {
    if (*s == c) last = s;
    if (!*s) return last;
  }
}

LONG _wtol(const WCHAR* str) {
  if (!str) return 0;
  while (IsBlank(*str)) ++str;
  bool negative = false;
  if (*str == u'+' || *str == u'-') negative = *str++ == u'-';
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so
  // long digit strings saturate instead of wrapping.
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  int64_t value = 0;
  for (; *str >= u'0' && *str <= u'9'; ++str) {
    if (value <= limit) value = value * 10 + (*str - u'0');
  }
  if (value > limit) value = limit;
  return static_cast<LONG>(negative ? -value : value);
}
