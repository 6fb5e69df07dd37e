// UTF-16 (the handheld's text) to and from UTF-8 (the host's text).
#pragma once

#include <windows.h>

#include <string>

namespace emu {

// Lenient conversions for text that must go through whatever it holds: each
// lone surrogate, and each byte that does not begin a well-formed UTF-8
// sequence (overlong forms, surrogates and values past U+10FFFF are not
// well-formed), becomes U+FFFD.
std::string ToUtf8(const std::u16string& s);
std::string ToUtf8(LPCWSTR s);
std::u16string FromUtf8(const std::string& s);

// Strict conversions for text that must survive a round trip: false at the
// first ill-formed sequence, with *bad (when given) its offset in the input
// (bytes for UTF-8 and UTF-16LE, code units for UTF-16). *out then holds the
// text before it. DecodeUtf8 with a null `out` only checks.
bool DecodeUtf8(const std::string& in, std::u16string* out, size_t* bad = nullptr);
bool EncodeUtf8(const std::u16string& in, std::string* out, size_t* bad = nullptr);
// UTF-16LE bytes (no byte-order mark) to text; an odd byte left over is
// ill-formed.
bool DecodeUtf16Le(const std::string& in, std::u16string* out, size_t* bad = nullptr);
std::string EncodeUtf16Le(const std::u16string& in);

// Upper-cases ASCII letters, as the handheld compares names.
std::u16string FoldCase(const std::u16string& s);
bool EqualNoCase(const std::u16string& a, const std::u16string& b);

}  // namespace emu
