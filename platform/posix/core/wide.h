// UTF-16 (the handheld's text) to and from UTF-8 (the host's text).
#pragma once

#include <windows.h>

#include <string>

namespace emu {

std::string ToUtf8(const std::u16string& s);
std::string ToUtf8(LPCWSTR s);
std::u16string FromUtf8(const std::string& s);
// Upper-cases ASCII letters, as the handheld compares names.
std::u16string FoldCase(const std::u16string& s);
bool EqualNoCase(const std::u16string& a, const std::u16string& b);

}  // namespace emu
