// The handheld's memory calls.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "core/api_call.h"
#include "support/device_fixture.h"

namespace {

// Memory calls: the pools are separate and every failure is
// ERROR_NOT_ENOUGH_MEMORY or a refused pointer, never a host heap crash.
TEST(MemoryTest, AllocateZeroAndFree) {
  auto* local = static_cast<unsigned char*>(LocalAlloc(LPTR, 100));
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(std::count(local, local + 100, 0), 100);
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::count(block, block + 64, 0), 64);

  EXPECT_FALSE(HeapFree(heap, 0, local));  // not a heap block
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(LocalFree(local), nullptr);
  EXPECT_EQ(LocalFree(local), local);  // freed twice
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(HeapFree(heap, 0, block));
  EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(0x1234), 0, 8), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(MemoryTest, FailuresAreNotEnoughMemory) {
#ifndef __SANITIZE_ADDRESS__  // the sanitizer aborts on an impossible size instead
  EXPECT_EQ(LocalAlloc(LMEM_FIXED, SIZE_MAX / 2), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
#endif
  emu::SetFaults("LocalAlloc#2=14,HeapAlloc=8");
  void* first = LocalAlloc(LMEM_FIXED, 4);
  EXPECT_NE(first, nullptr);
  SetLastError(0);
  EXPECT_EQ(LocalAlloc(LMEM_FIXED, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  emu::SetFaults("");
  LocalFree(first);
}

}  // namespace
