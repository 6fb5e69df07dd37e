// The UTF-8 decoders against a decoder written from the definition of
// UTF-8: the strict one refuses exactly the ill-formed input at the same
// place, the lenient one reads each ill-formed byte as U+FFFD and all else
// as the strict one does; what is read writes back as the same bytes.
#include <cstdlib>
#include <string>

#include "core/wide.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

// The code point of a well-formed sequence at s[i] and its length; 0 if none.
int Reference(const std::string& s, size_t i, char32_t* code) {
  const unsigned char b = s[i];
  int n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  char32_t c = n == 1 ? b : b & (0xFF >> (n + 1));
  for (int k = 1; k < n; ++k) {
    const unsigned char next = s[i + k];
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return n;
}

void Append(char32_t c, std::u16string* out) {
  if (c >= 0x10000) {
    *out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    *out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    *out += static_cast<char16_t>(c);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::u16string lenient, strict_text;
  size_t first_bad = std::string::npos;
  for (size_t i = 0; i < in.size();) {
    char32_t c;
    int n = Reference(in, i, &c);
    if (n == 0 && first_bad == std::string::npos) first_bad = i;
    Append(n ? c : U'\uFFFD', &lenient);
    if (first_bad == std::string::npos) Append(c, &strict_text);
    i += n ? n : 1;
  }
  Check(emu::FromUtf8(in) == lenient);

  std::u16string strict;
  size_t bad = std::string::npos;
  const bool ok = emu::DecodeUtf8(in, &strict, &bad);
  Check(ok == (first_bad == std::string::npos));
  Check(bad == first_bad);
  Check(strict == strict_text);  // all of it, or the text before the first bad byte
  Check(emu::DecodeUtf8(in, nullptr, &bad) == ok);
  if (ok) {
    std::string back;
    Check(emu::EncodeUtf8(strict, &back) && back == in);
    Check(emu::ToUtf8(strict) == in);
  }
  return 0;
}
