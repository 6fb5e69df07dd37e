#include "core/clock.h"

#include <time.h>

#include <atomic>

#include "core/api_call.h"

namespace emu {
namespace {
std::atomic<bool> g_virtual{false};
std::atomic<uint64_t> g_virtual_now{1000000};

uint64_t RealNowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
}  // namespace

uint64_t NowMs() { return g_virtual ? g_virtual_now.load() : RealNowMs(); }

void SleepMs(uint64_t ms) {
  if (g_virtual) {
    g_virtual_now += ms;
    return;
  }
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

void UseVirtualClock(bool on) { g_virtual = on; }
bool VirtualClock() { return g_virtual; }
void AdvanceClock(uint64_t ms) { g_virtual_now += ms; }

}  // namespace emu

void WINAPI Sleep(DWORD ms) {
  emu::ApiCall call("Sleep", ms);
  emu::SleepMs(ms);
  call.ret_void();
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(emu::NowMs()); }
