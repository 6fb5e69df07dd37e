// registry.reg of the device folder, shared with other processes.
//
// Every read or change takes a flock on registry.lock (shared to read,
// exclusive to change) and re-reads registry.reg when it is not the file read
// last (inode, size, times), so another process's edit is seen by the next
// call. A change is written back at once: registry.reg.<pid>.tmp, fsync,
// rename. A file that cannot be read completely is never written: every call
// fails with ERROR_REGISTRY_CORRUPT until it is mended.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "registry/hive.h"

namespace emu::reg {

// Runs `read` on the current registry; returns its result, or the error
// that kept the registry from being read.
LONG Read(const std::function<LONG(const Hive&)>& read);

// Runs `change` on the current registry under the exclusive lock. When it
// returns ERROR_SUCCESS having set *changed, the registry is written back;
// if that fails nothing changes and the write's error is returned.
LONG Modify(const std::function<LONG(Hive&, bool* changed)>& change);

// Reads the registry as the first registry call would: empty when it can be
// read completely, else what keeps it from being read, naming the file and,
// for what it cannot parse, the line and what is wrong with it.
std::string CheckStore();

}  // namespace emu::reg
