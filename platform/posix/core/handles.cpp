#include "core/handles.h"

#include <iterator>
#include <map>
#include <mutex>
#include <string>

#include "core/api_call.h"

namespace emu {
namespace {

struct Table {
  std::mutex lock;
  std::map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x100;
};

Table& table() {
  static Table* t = new Table;  // never destroyed: see ReleaseHandlesAtExit
  return *t;
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  auto& t = table();
  std::lock_guard guard(t.lock);
  uintptr_t value = t.next;
  t.next += 4;
  t.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE h) {
  auto& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
  return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE h) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
  auto& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
  if (it == t.objects.end()) return false;
  doomed = std::move(it->second);
  t.objects.erase(it);
  return true;
}

void ReleaseHandlesAtExit() {
  std::map<uintptr_t, std::shared_ptr<KernelObject>> doomed;
  {
    auto& t = table();
    std::lock_guard guard(t.lock);
    doomed.swap(t.objects);
  }
  std::string line = "(exit) open handles:";
  for (const auto& [value, object] : doomed) {
    line += ' ';
    line += TraceText(reinterpret_cast<HANDLE>(value));
  }
  if (TraceEnabled()) TraceLine(doomed.empty() ? line + " none" : line);
  while (!doomed.empty()) doomed.erase(std::prev(doomed.end()));
}

}  // namespace emu

BOOL WINAPI CloseHandle(HANDLE h) {
  emu::ApiCall call("CloseHandle", h);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!emu::RemoveHandle(h)) return call.fail(ERROR_INVALID_HANDLE, FALSE);
  return call.ret(TRUE);
}
