// The platform's wide printf family: one formatter writing to a sink, and
// the entry points differing only in how much of its output they keep.
#include "crt/wformat.h"

#include <cstdint>

namespace {

// Keeps the first `capacity` characters and counts all of them.
struct Sink {
  WCHAR* buffer;
  size_t capacity;
  size_t length = 0;

  void Put(WCHAR c) {
    if (length < capacity) buffer[length] = c;
    ++length;
  }
  // Counts what does not fit without writing it: a huge width costs nothing.
  void Repeat(WCHAR c, size_t n) {
    for (; n && length < capacity; --n) Put(c);
    length += n;
  }
};

struct Spec {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  int64_t width = 0;  // a width of INT_MIN from '*' is 2^31, left-justified
  int precision = -1;
};

// The platform's va_list read as the format asks.
class VaArguments : public emu::FormatArguments {
 public:
  explicit VaArguments(va_list args) { va_copy(args_, args); }
  ~VaArguments() override { va_end(args_); }
  VaArguments(const VaArguments&) = delete;
  VaArguments& operator=(const VaArguments&) = delete;

  int Int() override { return va_arg(args_, int); }
  unsigned UnsignedInt() override { return va_arg(args_, unsigned); }
  long long LongLong() override { return va_arg(args_, long long); }
  unsigned long long UnsignedLongLong() override { return va_arg(args_, unsigned long long); }
  void* Pointer() override { return va_arg(args_, void*); }
  const WCHAR* WideString() override { return va_arg(args_, const WCHAR*); }
  const char* NarrowString() override { return va_arg(args_, const char*); }

 private:
  va_list args_;
};

// Lays out `body` (already converted) with its sign/prefix and the padding.
// `body` is taken by value so arrays decay to pointers: GCC 12 at -O3 folds the
// copies for char[7] and char[32] into one and then warns of a bound never reached.
template <class Text>
void Emit(Sink& out, const Spec& spec, const char* prefix, Text body, size_t body_len,
          size_t zeros) {
  size_t prefix_len = 0;
  while (prefix[prefix_len]) ++prefix_len;
  size_t len = prefix_len + zeros + body_len;
  size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > len
                   ? static_cast<size_t>(spec.width) - len
                   : 0;
  if (!spec.left) out.Repeat(u' ', pad);
  for (size_t i = 0; i < prefix_len; ++i) out.Put(static_cast<WCHAR>(prefix[i]));
  out.Repeat(u'0', zeros);
  for (size_t i = 0; i < body_len; ++i) out.Put(static_cast<WCHAR>(body[i]));
  if (spec.left) out.Repeat(u' ', pad);
}

void EmitInteger(Sink& out, Spec spec, uint64_t magnitude, bool negative, unsigned base,
                 bool upper) {
  char digits[32];
  size_t n = 0;
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  while (magnitude) {
    digits[n++] = set[magnitude % base];
    magnitude /= base;
  }
  char body[32];
  for (size_t i = 0; i < n; ++i) body[i] = digits[n - 1 - i];
  // An explicit precision is the minimum digit count ("%.0d" of 0 prints nothing).
  size_t min_digits = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : 1;
  size_t zeros = n < min_digits ? min_digits - n : 0;
  const char* prefix = negative ? "-" : spec.plus ? "+" : spec.space ? " " : "";
  if (spec.alt && n > 0 && base == 16) prefix = upper ? "0X" : "0x";
  if (spec.zero && !spec.left && spec.precision < 0) {
    size_t prefix_len = 0;
    while (prefix[prefix_len]) ++prefix_len;
    size_t len = prefix_len + zeros + n;
    if (spec.width > 0 && static_cast<size_t>(spec.width) > len)
      zeros += static_cast<size_t>(spec.width) - len;
  }
  Emit(out, spec, prefix, body, n, zeros);
}

template <class Char>
void EmitString(Sink& out, const Spec& spec, const Char* s) {
  static const char kNull[] = "(null)";
  size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : SIZE_MAX;
  if (!s) {
    size_t n = 6 < limit ? 6 : limit;
    Emit(out, spec, "", kNull, n, 0);
    return;
  }
  size_t n = 0;
  while (n < limit && s[n]) ++n;
  if constexpr (sizeof(Char) == 1) {
    // Narrow text is taken byte by byte as Latin-1, as the platform's %S
    // does for the ASCII the program passes.
    struct Bytes {
      const Char* s;
      WCHAR operator[](size_t i) const { return static_cast<unsigned char>(s[i]); }
    };
    Emit(out, spec, "", Bytes{s}, n, 0);
  } else {
    Emit(out, spec, "", s, n, 0);
  }
}

int ReadNumber(const WCHAR*& p) {
  int v = 0;
  while (*p >= u'0' && *p <= u'9') {
    if (v < 100000) v = v * 10 + (*p - u'0');  // absurd widths are clamped
    ++p;
  }
  return v;
}

enum class Size { kInt, kShort, kLong64 };

void Format(Sink& out, const WCHAR* fmt, emu::FormatArguments& args) {
  if (!fmt) return;
  for (const WCHAR* p = fmt; *p;) {
    if (*p != u'%') {
      out.Put(*p++);
      continue;
    }
    const WCHAR* start = p++;
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') {
        spec.left = true;
      } else if (*p == u'0') {
        spec.zero = true;
      } else if (*p == u'+') {
        spec.plus = true;
      } else if (*p == u' ') {
        spec.space = true;
      } else if (*p == u'#') {
        spec.alt = true;
      } else {
        break;
      }
    }
    if (*p == u'*') {
      ++p;
      spec.width = args.Int();
      if (spec.width < 0) spec.left = true, spec.width = -spec.width;
    } else {
      spec.width = ReadNumber(p);
    }
    if (*p == u'.') {
      ++p;
      if (*p == u'*') {
        ++p;
        spec.precision = args.Int();
        if (spec.precision < 0) spec.precision = -1;
      } else {
        spec.precision = ReadNumber(p);
      }
    }
    Size size = Size::kInt;
    bool wide_arg = false, narrow_arg = false;
    if (*p == u'h') {
      ++p, size = Size::kShort, narrow_arg = true;
    } else if (*p == u'l') {
      ++p, wide_arg = true;  // long is 32 bits on the platform
      if (*p == u'l') ++p, size = Size::kLong64;
    } else if (*p == u'w') {
      ++p, wide_arg = true;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      p += 3, size = Size::kLong64;
    } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
      p += 3;
    }
    WCHAR conv = *p;
    if (!conv) {
      // A lone trailing '%' and its flags are printed as they are.
      while (start < p) out.Put(*start++);
      break;
    }
    ++p;
    switch (conv) {
      case u'd':
      case u'i': {
        int64_t v = size == Size::kLong64 ? args.LongLong() : args.Int();
        if (size == Size::kShort) v = static_cast<int16_t>(v);
        uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        EmitInteger(out, spec, mag, v < 0, 10, false);
        break;
      }
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        uint64_t v = size == Size::kLong64 ? args.UnsignedLongLong() : args.UnsignedInt();
        if (size == Size::kShort) v = static_cast<uint16_t>(v);
        unsigned base = conv == u'u' ? 10 : conv == u'o' ? 8 : 16;
        EmitInteger(out, spec, v, false, base, conv == u'X');
        break;
      }
      case u'p': {
        Spec hex = spec;
        hex.precision = static_cast<int>(sizeof(void*) * 2);
        EmitInteger(out, hex, reinterpret_cast<uintptr_t>(args.Pointer()), false, 16, true);
        break;
      }
      case u'c':
      case u'C': {
        WCHAR c = static_cast<WCHAR>(args.Int());
        if ((conv == u'C' && !wide_arg) || narrow_arg) c = static_cast<unsigned char>(c);
        Spec one = spec;
        one.precision = -1;
        Emit(out, one, "", &c, 1, 0);
        break;
      }
      case u's':
      case u'S':
        // In the wide functions %s is wide and %S narrow; h/l/w override.
        if (narrow_arg || (conv == u'S' && !wide_arg)) {
          EmitString(out, spec, args.NarrowString());
        } else {
          EmitString(out, spec, args.WideString());
        }
        break;
      case u'%':
        out.Put(u'%');
        break;
      default:
        // Unknown conversions are copied, not guessed at.
        while (start < p) out.Put(*start++);
        break;
    }
  }
}

size_t Measure(const WCHAR* fmt, va_list args) {
  Sink sink{nullptr, 0};
  VaArguments arguments(args);
  Format(sink, fmt, arguments);
  return sink.length;
}

// The platform's wsprintf buffer limit, terminating NUL included.
constexpr size_t kWsprintfLimit = 1024;

}  // namespace

namespace emu {
size_t FormatWide(WCHAR* buffer, size_t capacity, const WCHAR* format, FormatArguments& args) {
  Sink sink{buffer, buffer ? capacity : 0};
  Format(sink, format, args);
  return sink.length;
}
}  // namespace emu

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  if (!buffer) return 0;
  Sink sink{buffer, kWsprintfLimit - 1};
  VaArguments arguments(args);
  Format(sink, format, arguments);
  size_t written = sink.length < sink.capacity ? sink.length : sink.capacity;
  buffer[written] = 0;
  return static_cast<int>(written);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  return n;
}

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
  if (!buffer) count = 0;
  Sink sink{buffer, count};
  VaArguments arguments(args);
  Format(sink, format, arguments);
  if (sink.length > count || sink.length > INT32_MAX) return -1;
  if (sink.length < count) buffer[sink.length] = 0;
  return static_cast<int>(sink.length);
}

int _vscwprintf(const WCHAR* format, va_list args) {
  size_t n = Measure(format, args);
  return n > INT32_MAX ? -1 : static_cast<int>(n);
}
