// The kernel's handle table: files, ports, mutexes, connections, processes.
#pragma once

#include <windows.h>

#include <memory>

namespace emu {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindHandle(HANDLE h);
template <class T>
std::shared_ptr<T> GetHandle(HANDLE h) {
  return std::dynamic_pointer_cast<T>(FindHandle(h));
}
// Drops the table's reference; false for a handle that is not open.
bool RemoveHandle(HANDLE h);

// The program has ended: releases every handle still open, newest first,
// while everything their objects use is still there, and traces
// "(exit) open handles: <handles>" (or "none"). The table itself is never
// destroyed, so a handle left open is never released from a static
// destructor.
void ReleaseHandlesAtExit();

}  // namespace emu
