// Files the emulation keeps for a process while it runs, in the device
// folder: registry.reg.<pid>.tmp and dev/COMn/<name>.<pid>.tmp while a file
// is being replaced, run/<pid>.fifo and run/<pid>.win (and .win.tmp) while
// the process has a window. A process killed outright leaves them behind.
#pragma once

namespace emu {

// Removes those files of processes that no longer run: no process has the
// pid, or the one that has it now started after the file was last changed
// (the pid was used again), or it is this process's own pid (called at the
// start, before this process has made any). A FIFO some process still reads,
// and its .win, are kept whatever the times say.
void RemoveLeftovers();

}  // namespace emu
