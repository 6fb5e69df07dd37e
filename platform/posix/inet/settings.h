// Settings of the emulated handheld's network.
#pragma once

#include <cstdint>

namespace emu {

// The HTTP client's time limits, in milliseconds: 60 s to connect and 30 s
// without data while receiving, as the platform's defaults.
// SKYLODE_HTTP_TIMEOUT_MS (a positive number) lowers both, for tests; the
// client tells them through InternetQueryOptionW, so what a program derives
// from them (the download's own time limit) shortens too.
struct HttpTimeouts {
  int64_t connect_ms;
  int64_t receive_ms;
};
HttpTimeouts GetHttpTimeouts();

}  // namespace emu
