// The registry file's reader and writer. Whatever the bytes, reading never
// crashes and a refusal names a line; a file read is written back byte for
// byte; after changes (taken from the same bytes), the file written reads
// back as the same registry, and is written back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "core/wide.h"
#include "registry/hive.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

const char16_t* const kKeys[] = {
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient",
    u"HKEY_LOCAL_MACHINE\\Time",
    u"hkey_local_machine\\software\\New\\Deeper",
    u"HKEY_CURRENT_USER\\A",
};
const char16_t* const kNames[] = {u"", u"url", u"URL", u"TimeZoneInformation", u"x"};

std::u16string Pick(FuzzedDataProvider& in, const char16_t* const* pool, size_t count,
                    const char16_t* prefix) {
  if (in.ConsumeBool()) return pool[in.ConsumeIntegralInRange<size_t>(0, count - 1)];
  return prefix + emu::FromUtf8(in.ConsumeRandomLengthString(24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  emu::reg::Hive hive;
  emu::reg::Problem problem;
  if (!emu::reg::Parse(file, &hive, &problem)) {
    Check(problem.line >= 1 && !problem.what.empty());
    return 0;
  }
  // A file with any text is kept as it is; an empty one becomes the header.
  const bool empty = file.empty() || file == "\xEF\xBB\xBF" || file == "\xFF\xFE";
  Check(empty || emu::reg::Serialize(hive) == file);

  FuzzedDataProvider in(data, size);
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    std::u16string key = Pick(in, kKeys, std::size(kKeys), u"HKEY_USERS\\");
    std::u16string name = Pick(in, kNames, std::size(kNames), u"");
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0: {
        bool existed = hive.Exists(key);
        Check(hive.CreateKey(key) == (!existed && hive.Exists(key)));
        break;
      }
      case 1: {
        emu::reg::Value v{name, in.ConsumeIntegralInRange<DWORD>(0, 12),
                          in.ConsumeRandomLengthString(80)};
        bool set = hive.SetValue(key, v);
        std::optional<emu::reg::Value> now = hive.FindValue(key, name);
        if (set || now) Check(now && now->type == v.type && now->data == v.data);
        break;
      }
      default:
        if (hive.DeleteValue(key, name)) Check(!hive.FindValue(key, name));
        break;
    }
  }
  const std::string written = emu::reg::Serialize(hive);
  emu::reg::Hive again;
  Check(emu::reg::Parse(written, &again, &problem));
  Check(again.Describe() == hive.Describe());
  Check(emu::reg::Serialize(again) == written);
  return 0;
}
