// The launcher's shortcut reader. Whatever the bytes, reading never
// crashes; what it reads is what the shell's writer makes of that target;
// and whatever target the writer is given (with no NUL) reads back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/wide.h"
#include "shell/shortcut_file.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  std::string target;
  if (emu::ReadShortcut(file, &target)) {
    Check(target.find('\0') == std::string::npos);
    std::u16string text;
    if (emu::DecodeUtf8(target, &text)) Check(emu::ShortcutFile(text) == file);
    std::string program;
    std::vector<std::string> args;
    if (emu::SplitShortcutTarget(target, &program, &args)) {
      Check(!program.empty());
      for (const auto& a : args) Check(!a.empty() && a.find(' ') == std::string::npos);
    }
  }

  FuzzedDataProvider in(data, size);
  std::u16string written;
  for (size_t n = in.ConsumeIntegralInRange<size_t>(0, 64); n > 0 && in.remaining_bytes(); --n)
    written += static_cast<char16_t>(in.ConsumeIntegralInRange<uint16_t>(1, 0xFFFF));
  Check(emu::ReadShortcut(emu::ShortcutFile(written), &target));
  Check(target == emu::ToUtf8(written));
  return 0;
}
