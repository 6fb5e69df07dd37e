// The emulation's clock. In-process tests switch it to virtual time, in
// which sleeping and waiting for timers advance the clock instead of waiting.
#pragma once

#include <cstdint>

namespace emu {

uint64_t NowMs();           // monotonic milliseconds
void SleepMs(uint64_t ms);  // real or virtual
void UseVirtualClock(bool on);
bool VirtualClock();
void AdvanceClock(uint64_t ms);

}  // namespace emu
