// The runtime's UTF-16 string functions, the wide printf family and the
// system message texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "support/device_fixture.h"
#include "core/wide.h"

namespace {

TEST(WideStrings, CopyConcatAndLength) {
  WCHAR buf[16];
  EXPECT_EQ(wcslen(u""), 0u);
  EXPECT_EQ(wcscpy(buf, u"abc"), buf);
  EXPECT_EQ(std::u16string(wcscat(buf, u"de")), u"abcde");
  EXPECT_EQ(wcslen(buf), 5u);

  // wcsncpy pads short sources with NULs and does not terminate long ones.
  for (auto& c : buf) c = u'#';
  wcsncpy(buf, u"xy", 4);
  EXPECT_EQ(std::u16string(buf, 5), std::u16string(u"xy\0\0#", 5));
  wcsncpy(buf, u"longer", 3);
  EXPECT_EQ(std::u16string(buf, 4), std::u16string(u"lon\0", 4));
}

TEST(WideStrings, CompareAndSearch) {
  struct Case {
    const WCHAR *a, *b;
    size_t n;
    int cmp, ncmp, icmp, nicmp;
  };
  const Case cases[] = {
      {u"abc", u"abc", 3, 0, 0, 0, 0},
      {u"abc", u"abd", 2, -1, 0, -1, 0},
      {u"ab", u"abc", 5, -1, -1, -1, -1},
      {u"Hello", u"hELLO", 5, -1, -1, 0, 0},
      {u"b", u"A", 1, 1, 1, 1, 1},
      // Folding is to lower case, so '_' sorts before letters either way.
      {u"_", u"A", 1, 1, 1, -1, -1},
      // Characters compare as unsigned 16-bit values.
      {u"\u00e9", u"z", 1, 1, 1, 1, 1},
      {u"x", u"y", 0, -1, 0, -1, 0},
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const auto& c : cases) {
    SCOPED_TRACE(emu::ToUtf8(c.a) + " vs " + emu::ToUtf8(c.b));
    EXPECT_EQ(sign(wcscmp(c.a, c.b)), c.cmp);
    EXPECT_EQ(sign(wcsncmp(c.a, c.b, c.n)), c.ncmp);
    EXPECT_EQ(sign(_wcsicmp(c.a, c.b)), c.icmp);
    EXPECT_EQ(sign(_wcsnicmp(c.a, c.b, c.n)), c.nicmp);
  }

  const WCHAR* s = u"a/b/c";
  EXPECT_EQ(wcschr(s, u'/'), s + 1);
  EXPECT_EQ(wcsrchr(s, u'/'), s + 3);
  EXPECT_EQ(wcschr(s, u'z'), nullptr);
  EXPECT_EQ(wcsrchr(s, u'z'), nullptr);
  EXPECT_EQ(wcschr(s, u'\0'), s + 5);
  EXPECT_EQ(wcsstr(s, u"b/c"), s + 2);
  EXPECT_EQ(wcsstr(s, u"b/d"), nullptr);
  EXPECT_EQ(wcsstr(s, u""), s);
  const WCHAR* overlap = u"aab";
  EXPECT_EQ(wcsstr(overlap, u"ab"), overlap + 1);
}

TEST(WideStrings, WtolParsesAndSaturates) {
  struct Case {
    const WCHAR* in;
    LONG want;
  };
  const Case cases[] = {
      {u"123", 123},
      {u"  -42abc", -42},
      {u"\t\n\v\f\r+7", 7},
      {u"   -000012", -12},
      {u"12 34", 12},
      {u"", 0},
      {u"abc", 0},
      {u"-", 0},
      {u"- 5", 0},
      {u"2147483647", INT32_MAX},
      {u"2147483648", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"-2147483649", INT32_MIN},
      {u"99999999999999999999999", INT32_MAX},
      {u"-99999999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(_wtol(c.in), c.want) << emu::ToUtf8(c.in);
}

// Formats through every entry point and checks they agree.
std::u16string Fmt(const WCHAR* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  WCHAR big[2048], ws[1100];
  va_list a1, a2, a3;
  va_copy(a1, args);
  va_copy(a2, args);
  va_copy(a3, args);
  int n = _vsnwprintf(big, 2048, fmt, a1);
  int counted = _vscwprintf(fmt, a2);
  int ws_n = wvsprintfW(ws, fmt, a3);
  va_end(a1);
  va_end(a2);
  va_end(a3);
  va_end(args);
  EXPECT_GE(n, 0);
  EXPECT_EQ(counted, n);
  EXPECT_EQ(ws_n, n);
  std::u16string out(big, n < 0 ? 0 : n);
  EXPECT_EQ(std::u16string(ws), out);
  return out;
}

TEST(WideFormat, Specifiers) {
  struct Case {
    std::u16string got;
    const WCHAR* want;
  };
  const Case cases[] = {
      {Fmt(u"%d|%i|%u", -5, 42, 4294967295u), u"-5|42|4294967295"},
      {Fmt(u"%x|%X|%#x", 255, 0xABCu, 0x1fu), u"ff|ABC|0x1f"},
      {Fmt(u"%c%c", u'Z', 0x263A), u"Z\u263a"},
      {Fmt(u"%s and %S", u"wide", "narrow"), u"wide and narrow"},
      {Fmt(u"%hs|%ls|%ws", "n", u"w", u"w2"), u"n|w|w2"},
      {Fmt(u"100%%"), u"100%"},
      {Fmt(u"%02d:%02d:%02d", 1, 2, 13), u"01:02:13"},
      {Fmt(u"%04d|%4d|%-4d|", -7, -7, 7), u"-007|  -7|7   |"},
      {Fmt(u"[%-5s][%5s][%.2s]", u"ab", u"ab", u"abcd"), u"[ab   ][   ab][ab]"},
      {Fmt(u"%08X|%.3d|%+d", 0xBEEFu, 5, 5), u"0000BEEF|005|+5"},
      {Fmt(u"%ld|%lu|%lx", -1L, 4000000000UL, 0xDEADBEEFUL), u"-1|4000000000|deadbeef"},
      {Fmt(u"%I64d|%I64u", -9000000000LL, 18446744073709551615ULL),
       u"-9000000000|18446744073709551615"},
      {Fmt(u"%d", static_cast<DWORD>(0xFFFFFFFF)), u"-1"},
      {Fmt(u"%d", INT_MIN), u"-2147483648"},
      {Fmt(u"%s|%S|%5s", static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr),
           static_cast<const WCHAR*>(nullptr)),
       u"(null)|(null)|(null)"},
      {Fmt(u"%*d|%-*d|", 4, 1, 3, 2), u"   1|2  |"},
      // Unknown conversions and a dangling '%' are copied as they are.
      {Fmt(u"%q %"), u"%q %"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(emu::ToUtf8(cases[i].got), emu::ToUtf8(cases[i].want)) << "case " << i;
}

int Snw(WCHAR* buf, size_t count, const WCHAR* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = _vsnwprintf(buf, count, fmt, args);
  va_end(args);
  return n;
}

TEST(WideFormat, BoundedOutput) {
  struct Case {
    size_t count;
    int want;
    const char16_t* contents;  // then the untouched '#' fill
  };
  // "hello": fits with its NUL, fits exactly without it, or does not fit.
  const Case cases[] = {
      {8, 5, u"hello\0##"}, {6, 5, u"hello\0##"}, {5, 5, u"hello###"},
      {3, -1, u"hel#####"}, {0, -1, u"########"},
  };
  for (const auto& c : cases) {
    WCHAR buf[8];
    for (auto& ch : buf) ch = u'#';
    EXPECT_EQ(Snw(buf, c.count, u"%s", u"hello"), c.want) << c.count;
    EXPECT_EQ(std::u16string(buf, 8), std::u16string(c.contents, 8)) << c.count;
  }
  EXPECT_EQ(Snw(nullptr, 0, u"%d", 12345), -1);
}

// A width from '*' of INT_MIN is 2^31 columns, left-justified: too long for
// any buffer, counted without being written out.
TEST(WideFormat, TheWidestWidthIsCountedNotWritten) {
  WCHAR buf[8];
  for (auto& ch : buf) ch = u'#';
  EXPECT_EQ(Snw(buf, 4, u"%*d", INT_MIN, 5), -1);
  EXPECT_EQ(std::u16string(buf, 8), std::u16string(u"5   ####", 8));
  EXPECT_EQ(Snw(buf, 4, u"%*d", INT_MAX, 5), -1);
  EXPECT_EQ(std::u16string(buf, 8), std::u16string(u"    ####", 8));
}

TEST(WideFormat, WsprintfStopsAtItsLimit) {
  std::u16string arg(2000, u'x');
  WCHAR buf[1100];
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(wsprintfW(buf, u"%s", arg.c_str()), 1023);
  EXPECT_EQ(buf[1022], u'x');
  EXPECT_EQ(buf[1023], 0);
  EXPECT_EQ(buf[1024], u'#');

  std::u16string fmt(1500, u'y');
  EXPECT_EQ(wsprintfW(buf, fmt.c_str()), 1023);
  EXPECT_EQ(buf[1023], 0);
}

}  // namespace
