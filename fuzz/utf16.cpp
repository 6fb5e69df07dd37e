// The UTF-16 decoders: UTF-16LE bytes to text refuses exactly lone
// surrogates and an odd byte, at their place; text that is well-formed goes
// to UTF-8 and back unchanged, and the lenient UTF-8 writer puts U+FFFD for
// each lone surrogate and nothing else.
#include <cstdlib>
#include <string>

#include "core/wide.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

bool High(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool Low(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2)
    units += static_cast<char16_t>(data[i] | data[i + 1] << 8);

  // By the definition: the first lone surrogate, and the text with each
  // lone surrogate replaced.
  size_t lone = std::string::npos;
  std::u16string replaced;
  for (size_t i = 0; i < units.size(); ++i) {
    if (High(units[i]) && i + 1 < units.size() && Low(units[i + 1])) {
      replaced += units.substr(i++, 2);
    } else if (High(units[i]) || Low(units[i])) {
      if (lone == std::string::npos) lone = i;
      replaced += u'\uFFFD';
    } else {
      replaced += units[i];
    }
  }
  size_t first_bad = lone != std::string::npos ? 2 * lone : size % 2 ? size - 1 : std::string::npos;

  std::u16string text;
  size_t bad = std::string::npos;
  const bool ok = emu::DecodeUtf16Le(in, &text, &bad);
  Check(ok == (first_bad == std::string::npos));
  Check(bad == first_bad);
  if (ok) {
    Check(text == units && emu::EncodeUtf16Le(text) == in);
  } else {
    Check(text == units.substr(0, lone == std::string::npos ? units.size() : lone));
  }

  std::string utf8;
  size_t at = std::string::npos;
  Check(emu::EncodeUtf8(units, &utf8, &at) == (lone == std::string::npos));
  Check(at == lone);
  Check(emu::ToUtf8(units) == emu::ToUtf8(replaced));
  std::string lenient = emu::ToUtf8(units);
  std::u16string back;
  Check(emu::DecodeUtf8(lenient, &back) && back == replaced);
  return 0;
}
