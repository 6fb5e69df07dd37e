// LocalAlloc and the process heap over malloc. Every block is remembered, so
// freeing a pointer twice or one that was never handed out is refused with
// an error instead of corrupting the host heap. A block whose free fails
// stays the process's until it ends, as on the handheld.
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "core/api_call.h"

namespace {

enum class Pool { kLocal, kHeap };

struct Blocks {
  std::mutex lock;
  std::unordered_map<void*, Pool> live;
};

Blocks& blocks() {
  static Blocks b;
  return b;
}

// Live blocks whose free failed (under the blocks' lock). Never destroyed, so
// that a leak checker sees them held, as the handheld holds them until the
// process ends; a block the program never tries to free is still reported.
std::unordered_set<void*>& kept() {
  static auto* k = new std::unordered_set<void*>;
  return *k;
}

// A free of `p` failed: a live block stays allocated.
void Keep(void* p) {
  auto& b = blocks();
  std::lock_guard guard(b.lock);
  if (b.live.count(p)) kept().insert(p);
}

// The process heap is the only heap; its handle is just a marker.
int g_process_heap_marker;
HANDLE ProcessHeap() { return &g_process_heap_marker; }

void* Allocate(size_t bytes, bool zero, Pool pool) {
  if (bytes == 0) bytes = 1;  // a zero-size block is still a distinct, freeable pointer
  void* p = zero ? calloc(1, bytes) : malloc(bytes);
  if (!p) return nullptr;
  auto& b = blocks();
  std::lock_guard guard(b.lock);
  b.live[p] = pool;
  return p;
}

// False when `p` is not a live block of `pool`.
bool Release(void* p, Pool pool) {
  auto& b = blocks();
  {
    std::lock_guard guard(b.lock);
    auto it = b.live.find(p);
    if (it == b.live.end() || it->second != pool) return false;
    b.live.erase(it);
    kept().erase(p);
  }
  free(p);
  return true;
}

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT uFlags, size_t uBytes) {
  emu::ApiCall call("LocalAlloc", emu::Hex(uFlags), uBytes);
  // Running out of memory is the one way an allocation fails on the handheld.
  if (call.faulted()) return call.fail(ERROR_NOT_ENOUGH_MEMORY, HLOCAL{nullptr});
  if (uFlags & ~static_cast<UINT>(LMEM_ZEROINIT))  // only fixed blocks are supported
    return call.fail(ERROR_INVALID_PARAMETER, HLOCAL{nullptr});
  void* p = Allocate(uBytes, uFlags & LMEM_ZEROINIT, Pool::kLocal);
  if (!p) return call.fail(ERROR_NOT_ENOUGH_MEMORY, HLOCAL{nullptr});
  return call.ret(static_cast<HLOCAL>(p));
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  emu::ApiCall call("LocalFree", hMem);
  if (call.faulted()) {
    Keep(hMem);
    return call.fail_injected(hMem);
  }
  if (!hMem) return call.ret(HLOCAL{nullptr});
  if (!Release(hMem, Pool::kLocal)) return call.fail(ERROR_INVALID_HANDLE, hMem);
  return call.ret(HLOCAL{nullptr});
}

HANDLE WINAPI GetProcessHeap(void) {
  emu::ApiCall call("GetProcessHeap");
  if (call.faulted()) return call.fail_injected(HANDLE{nullptr});
  return call.ret(ProcessHeap());
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, size_t dwBytes) {
  emu::ApiCall call("HeapAlloc", hHeap, emu::Hex(dwFlags), dwBytes);
  if (call.faulted()) return call.fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID{nullptr});
  if (hHeap != ProcessHeap()) return call.fail(ERROR_INVALID_HANDLE, LPVOID{nullptr});
  void* p = Allocate(dwBytes, dwFlags & HEAP_ZERO_MEMORY, Pool::kHeap);
  if (!p) return call.fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID{nullptr});
  return call.ret(p);
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  emu::ApiCall call("HeapFree", hHeap, emu::Hex(dwFlags), lpMem);
  if (call.faulted() || hHeap != ProcessHeap()) {
    Keep(lpMem);
    return call.faulted() ? call.fail_injected(FALSE) : call.fail(ERROR_INVALID_HANDLE, FALSE);
  }
  if (!lpMem) return call.ret(TRUE);
  if (!Release(lpMem, Pool::kHeap)) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  return call.ret(TRUE);
}
