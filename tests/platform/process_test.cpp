// The handheld's processes: the tool help's snapshot lists this program and
// the other programs running on the same handheld, with their executables.
#include <signal.h>
#include <sys/wait.h>
#include <tlhelp32.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "core/device.h"
#include "core/wide.h"
#include "support/device_fixture.h"

namespace {

class ProcessTest : public DeviceTest {
 protected:
  // pid -> executable, as one snapshot lists them.
  std::map<DWORD, std::u16string> Snapshot() {
    std::map<DWORD, std::u16string> listed;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
      listed[entry.th32ProcessID] = entry.szExeFile;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
    return listed;
  }
};

TEST_F(ProcessTest, SnapshotListsTheRunningPrograms) {
  WCHAR exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(release[1]);
    char c;
    ssize_t ignored = read(release[0], &c, 1);
    (void)ignored;
    _exit(0);
  }
  // Another program of the handheld: it has a window listed in run/.
  std::ofstream(emu::RunDir() + "/" + std::to_string(child) + ".win") << "";

  auto listed = Snapshot();
  EXPECT_EQ(listed[GetCurrentProcessId()], std::u16string(exe));
  EXPECT_EQ(listed[static_cast<DWORD>(child)], std::u16string(exe));

  close(release[1]);
  waitpid(child, nullptr, 0);
  close(release[0]);
  EXPECT_EQ(Snapshot().count(static_cast<DWORD>(child)), 0u);

  // An entry whose size is not set is refused; a closed snapshot is gone.
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  EXPECT_FALSE(Process32First(snapshot, &entry));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
  EXPECT_FALSE(CloseToolhelp32Snapshot(snapshot));
}

}  // namespace
