#include "inet/settings.h"

#include <algorithm>
#include <cstdlib>

namespace emu {

HttpTimeouts GetHttpTimeouts() {
  HttpTimeouts t{60000, 30000};
  if (const char* env = getenv("SKYLODE_HTTP_TIMEOUT_MS"); env && *env) {
    char* end = nullptr;
    long long ms = strtoll(env, &end, 10);
    if (end != env && *end == '\0' && ms > 0) {
      t.connect_ms = std::min<int64_t>(t.connect_ms, ms);
      t.receive_ms = std::min<int64_t>(t.receive_ms, ms);
    }
  }
  return t;
}

}  // namespace emu
