// The resource-script reader. Whatever the script (and the id header, when
// the input gives one after a line "----"; else the program's own), it
// either reads it or refuses it with std::runtime_error: no crash, no other
// exception.
#include <stdexcept>
#include <string>

#include "user/resources.h"

extern const char skylode_resource_header[];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string script(reinterpret_cast<const char*>(data), size);
  std::string header = skylode_resource_header;
  if (size_t split = script.find("\n----\n"); split != std::string::npos) {
    header = script.substr(0, split);
    script.erase(0, split + 6);
  }
  try {
    emu::ResourceScript parsed = emu::ParseResourceScript(script, header);
    for (const auto& d : parsed.dialogs)
      for (const auto& c : d.controls) (void)c.text.size();
  } catch (const std::runtime_error&) {
  }
  return 0;
}
