#include "core/wide.h"

namespace emu {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHigh(uint32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(uint32_t c) { return c >= 0xDC00 && c < 0xE000; }

// The code point of the well-formed sequence at s[i] and its length; 0 when
// the bytes there are not one (the table of well-formed sequences: the
// second byte's range depends on the first byte, which rules out overlong
// forms, surrogates and values past U+10FFFF).
int Utf8At(const std::string& s, size_t i, uint32_t* code) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  if (b < 0x80) {
    *code = b;
    return 1;
  }
  int extra;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    if (b == 0xE0) lo = 0xA0;  // below: overlong
    if (b == 0xED) hi = 0x9F;  // above: surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    if (b == 0xF0) lo = 0x90;  // below: overlong
    if (b == 0xF4) hi = 0x8F;  // above: past U+10FFFF
  } else {
    return 0;  // a continuation byte, C0/C1 (always overlong) or F5..FF
  }
  if (i + extra >= s.size()) return 0;  // cut short
  uint32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char next = byte(i + k);
    if (next < (k == 1 ? lo : 0x80) || next > (k == 1 ? hi : 0xBF)) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  *code = c;
  return extra + 1;
}

void AppendUtf16(uint32_t c, std::u16string* out) {
  if (c >= 0x10000) {
    c -= 0x10000;
    *out += static_cast<char16_t>(0xD800 + (c >> 10));
    *out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    *out += static_cast<char16_t>(c);
  }
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point at s[i] and its length in code units; 0 for a lone surrogate.
int Utf16At(const std::u16string& s, size_t i, uint32_t* code) {
  uint32_t c = s[i];
  if (IsHigh(c) && i + 1 < s.size() && IsLow(s[i + 1])) {
    *code = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
    return 2;
  }
  if (IsHigh(c) || IsLow(c)) return 0;
  *code = c;
  return 1;
}

}  // namespace

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t c;
    int n = Utf16At(s, i, &c);
    AppendUtf8(n ? c : kReplacement, &out);
    i += n ? n : 1;
  }
  return out;
}

std::string ToUtf8(LPCWSTR s) { return s ? ToUtf8(std::u16string(s)) : std::string(); }

std::u16string FromUtf8(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    uint32_t c;
    int n = Utf8At(s, i, &c);
    AppendUtf16(n ? c : kReplacement, &out);
    i += n ? n : 1;
  }
  return out;
}

bool DecodeUtf8(const std::string& in, std::u16string* out, size_t* bad) {
  if (out) {
    out->clear();
    out->reserve(in.size());
  }
  for (size_t i = 0; i < in.size();) {
    uint32_t c;
    int n = Utf8At(in, i, &c);
    if (!n) {
      if (bad) *bad = i;
      return false;
    }
    if (out) AppendUtf16(c, out);
    i += n;
  }
  return true;
}

bool EncodeUtf8(const std::u16string& in, std::string* out, size_t* bad) {
  out->clear();
  out->reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    uint32_t c;
    int n = Utf16At(in, i, &c);
    if (!n) {
      if (bad) *bad = i;
      return false;
    }
    AppendUtf8(c, out);
    i += n;
  }
  return true;
}

bool DecodeUtf16Le(const std::string& in, std::u16string* out, size_t* bad) {
  out->clear();
  out->reserve(in.size() / 2);
  for (size_t i = 0; i + 1 < in.size(); i += 2)
    *out += static_cast<char16_t>(static_cast<unsigned char>(in[i]) |
                                  static_cast<unsigned char>(in[i + 1]) << 8);
  for (size_t i = 0; i < out->size();) {
    uint32_t c;
    int n = Utf16At(*out, i, &c);
    if (!n) {
      if (bad) *bad = 2 * i;
      out->resize(i);
      return false;
    }
    i += n;
  }
  if (in.size() % 2) {
    if (bad) *bad = in.size() - 1;
    return false;
  }
  return true;
}

std::string EncodeUtf16Le(const std::u16string& in) {
  std::string out;
  out.reserve(2 * in.size());
  for (char16_t c : in) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::u16string FoldCase(const std::u16string& s) {
  std::u16string out = s;
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return out;
}

bool EqualNoCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - u'a' + u'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace emu
