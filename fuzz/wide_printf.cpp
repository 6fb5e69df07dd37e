// The wide printf family's formatter over any format (the input's first
// part, as UTF-16LE up to a NUL) with arguments of the types it asks for
// (from the rest). No crash; the length does not depend on the buffer; a
// smaller buffer holds the start of the output.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "crt/wformat.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

const std::u16string kLong(3000, u'w');
const std::string kLongNarrow(3000, 'n');
const WCHAR* const kWide[] = {nullptr, u"", u"wide \u263A", kLong.c_str()};
const char* const kNarrow[] = {nullptr, "", "narrow \xE9", kLongNarrow.c_str()};

// Every call hands out the same values: the i-th argument asked for comes
// from the i-th slot whatever its type.
struct Slot {
  long long number;
  uint8_t string;
};

class Arguments : public emu::FormatArguments {
 public:
  explicit Arguments(const std::vector<Slot>& slots) : slots_(slots) {}
  int Int() override { return static_cast<int>(Next().number); }
  unsigned UnsignedInt() override { return static_cast<unsigned>(Next().number); }
  long long LongLong() override { return Next().number; }
  unsigned long long UnsignedLongLong() override {
    return static_cast<unsigned long long>(Next().number);
  }
  void* Pointer() override { return reinterpret_cast<void*>(Next().number); }  // only printed
  const WCHAR* WideString() override { return kWide[Next().string % 4]; }
  const char* NarrowString() override { return kNarrow[Next().string % 4]; }

 private:
  const Slot& Next() {
    static const Slot kZero{0, 0};
    return used_ < slots_.size() ? slots_[used_++] : kZero;
  }
  const std::vector<Slot>& slots_;
  size_t used_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string format;
  size_t i = 0;
  for (; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (c == 0) break;
    format += c;
  }
  FuzzedDataProvider in(data + i, size - i);
  std::vector<Slot> slots;
  while (in.remaining_bytes() && slots.size() < 64) {
    Slot s;
    // Mostly small numbers (widths, precisions), sometimes any.
    s.number = in.ConsumeBool() ? in.ConsumeIntegralInRange<long long>(-300, 300)
                                : in.ConsumeIntegral<long long>();
    s.string = in.ConsumeIntegral<uint8_t>();
    slots.push_back(s);
  }

  Arguments counting(slots);
  const size_t length = emu::FormatWide(nullptr, 0, format.c_str(), counting);
  const size_t kept = length < 65536 ? length : 65536;
  std::u16string whole(kept + 1, u'#');
  Arguments writing(slots);
  Check(emu::FormatWide(whole.data(), kept, format.c_str(), writing) == length);
  Check(whole[kept] == u'#');
  const size_t part = kept / 2;
  std::u16string start(part + 1, u'#');
  Arguments again(slots);
  Check(emu::FormatWide(start.data(), part, format.c_str(), again) == length);
  Check(start.compare(0, part, whole, 0, part) == 0 && start[part] == u'#');
  return 0;
}
