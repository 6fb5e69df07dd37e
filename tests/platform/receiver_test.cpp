// The GPS receiver on COM7: exclusive opening, ephemeris load and validity.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "drivers/receiver.h"

namespace {

class ReceiverTest : public DeviceTest {
 protected:
  HANDLE OpenPort(LPCWSTR name = u"COM7:") {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }

  BOOL Load(HANDLE port, const std::string& data) {
    DWORD returned = 99;
    return DeviceIoControl(port, emu::kIoctlLoadEphemeris, const_cast<char*>(data.data()),
                           static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
  }

  // Seconds since the epoch of a validity record.
  static time_t Seconds(const int32_t v[5]) {
    tm t{};
    t.tm_year = v[0] - 1900;
    t.tm_mon = v[1] - 1;
    t.tm_mday = v[2];
    t.tm_hour = v[3];
    t.tm_min = v[4];
    return timegm(&t);
  }
};

TEST_F(ReceiverTest, OneHandleAtATime) {
  HANDLE port = OpenPort(u"com7:");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenPort(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(CloseHandle(port));  // closing releases the port
  port = OpenPort();
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);

  EXPECT_EQ(OpenPort(u"COM3:"), INVALID_HANDLE_VALUE);  // no dev/COM3 folder
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenPort(u"\\COM7:"), INVALID_HANDLE_VALUE);  // a path, and ':' has no place in one
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(ReceiverTest, LockHeldElsewhereRefusesTheOpen) {
  // Another descriptor of this process.
  int fd = open(Path("dev/COM7/lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(OpenPort(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  close(fd);

  // Another process: flock(1) holding the lock while its command runs.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setpgid(0, 0);
    dup2(ready[1], 1);
    execlp("flock", "flock", "-o", Path("dev/COM7/lock").c_str(), "sh", "-c",
           "echo held; exec sleep 30", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  char buf[8] = {};
  ASSERT_GT(read(ready[0], buf, sizeof buf), 0) << "flock(1) did not start";
  close(ready[0]);
  EXPECT_EQ(OpenPort(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  kill(-child, SIGTERM);
  waitpid(child, nullptr, 0);
  HANDLE port = OpenPort();
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);
}

TEST_F(ReceiverTest, LoadStoresTheDataAndAWeekOfValidity) {
  HANDLE port = OpenPort();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  std::string data("EPH\0\x01\x02", 6);
  time_t before = time(nullptr);
  ASSERT_TRUE(Load(port, data));
  time_t after = time(nullptr);
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris"), data);

  std::string validity = ReadHostFile("dev/COM7/validity");
  ASSERT_EQ(validity.size(), 20u);
  int32_t v[5];
  memcpy(v, validity.data(), 20);  // little-endian host
  constexpr time_t kWeek = 7 * 24 * 3600;
  EXPECT_GE(Seconds(v), (before + kWeek) / 60 * 60);
  EXPECT_LE(Seconds(v), after + kWeek);

  // The validity call reads it back.
  int32_t out[5] = {};
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(port, emu::kIoctlEphemerisValidity, nullptr, 0, out, sizeof out,
                              &returned, nullptr));
  EXPECT_EQ(returned, 20u);
  EXPECT_EQ(memcmp(out, v, 20), 0);
  CloseHandle(port);
}

TEST_F(ReceiverTest, ValidityCopiesWhatTheFileHolds) {
  HANDLE port = OpenPort();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  const std::string record = "ABCDEFGHIJKLMNOPQRST";
  struct Case {
    const char* file;  // null: no validity file
    DWORD buffer;
    std::string expect;  // the caller's 24 bytes afterwards
  } cases[] = {
      {record.c_str(), 20, record + "...."},
      {record.c_str(), 12, record.substr(0, 12) + std::string(12, '.')},
      {"ABCDEFGH", 20, "ABCDEFGH" + std::string(16, '.')},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 24, record + "...."},  // never more than 20
      {nullptr, 20, std::string(24, '.')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "no file");
    std::filesystem::remove(Path("dev/COM7/validity"));
    if (c.file) WriteHostFile("dev/COM7/validity", c.file);
    char out[24];
    memset(out, '.', sizeof out);
    DWORD returned = 99;
    EXPECT_TRUE(DeviceIoControl(port, emu::kIoctlEphemerisValidity, nullptr, 0, out, c.buffer,
                                &returned, nullptr));
    EXPECT_EQ(std::string(out, sizeof out), c.expect);
    EXPECT_EQ(returned,
              std::min<DWORD>(c.buffer, c.file ? std::min<size_t>(strlen(c.file), 20) : 0));
  }
  CloseHandle(port);
}

TEST_F(ReceiverTest, ErrorFilesFailTheirCall) {
  HANDLE port = OpenPort();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  WriteHostFile("dev/COM7/load-error", "1167\n");
  WriteHostFile("dev/COM7/validity-error", "31");
  SetLastError(0);
  EXPECT_FALSE(Load(port, "data"));
  EXPECT_EQ(GetLastError(), 1167u);
  EXPECT_FALSE(Exists("dev/COM7/ephemeris"));
  int32_t out[5];
  DWORD returned;
  EXPECT_FALSE(DeviceIoControl(port, emu::kIoctlEphemerisValidity, nullptr, 0, out, sizeof out,
                               &returned, nullptr));
  EXPECT_EQ(GetLastError(), 31u);
  // A file that holds no number still fails the call.
  WriteHostFile("dev/COM7/load-error", "oops");
  EXPECT_FALSE(Load(port, "data"));
  EXPECT_NE(GetLastError(), 0u);
  CloseHandle(port);
}

TEST_F(ReceiverTest, OtherCodesAndHandles) {
  HANDLE port = OpenPort();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DWORD n;
  char buf[4];
  EXPECT_FALSE(DeviceIoControl(port, 0x00220053, nullptr, 0, buf, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(ReadFile(port, buf, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));

  WriteHostFile("fs/file.txt", "x");
  HANDLE file = CreateFileW(u"\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(
      DeviceIoControl(file, emu::kIoctlEphemerisValidity, nullptr, 0, buf, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  CloseHandle(file);
  EXPECT_FALSE(
      DeviceIoControl(file, emu::kIoctlEphemerisValidity, nullptr, 0, buf, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  emu::SetFaults("DeviceIoControl=21,CreateFileW=55");
  EXPECT_FALSE(Load(port, "data"));
  EXPECT_EQ(GetLastError(), 21u);
  EXPECT_FALSE(Exists("dev/COM7/ephemeris"));
  CloseHandle(port);
  EXPECT_EQ(OpenPort(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 55u);
}

}  // namespace
