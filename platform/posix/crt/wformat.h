// The formatter behind the wide printf family, over any source of arguments:
// the entry points read a va_list; tests and fuzzers give typed values.
#pragma once

#include <windows.h>

#include <cstddef>

namespace emu {

// Asked for each argument in the order and the type the format consumes it.
class FormatArguments {
 public:
  virtual ~FormatArguments() = default;
  virtual int Int() = 0;
  virtual unsigned UnsignedInt() = 0;
  virtual long long LongLong() = 0;
  virtual unsigned long long UnsignedLongLong() = 0;
  virtual void* Pointer() = 0;
  virtual const WCHAR* WideString() = 0;
  virtual const char* NarrowString() = 0;
};

// Formats into `buffer`, keeping its first `capacity` characters (no NUL is
// added); returns the length of the whole output.
size_t FormatWide(WCHAR* buffer, size_t capacity, const WCHAR* format, FormatArguments& args);

}  // namespace emu
