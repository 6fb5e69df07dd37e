// Loading a stored file into the receiver: every result and the handles.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "core/api_call.h"
#include "core/wide.h"
#include "support/trace_reader.h"
#include "support/device_fixture.h"
#include "support/dialog_harness.h"
#include "support/handheld_builders.h"
#include "kernel/timezone.h"

namespace {

const char16_t* kTarget = u"\\windows\\ZUZIdarudaZozo.ee";
const char* kTargetFile = "fs/windows/ZUZIdarudaZozo.ee";

class InjectTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    WriteRegistry(ZoneRegistry(Zone(0)));
    emu::ResetCrtTimeZone();
    trace_ = root_ + "/trace";
  }

  // Runs the injection on the dialog; returns its result (UTF-8).
  std::string Inject(const std::string& faults = "") {
    std::string result;
    status_ = RunDialog([&](HarnessDlg& dlg) {
      std::filesystem::remove(trace_);
      emu::SetTraceFile(trace_);
      emu::SetFaults(faults);
      CString message = dlg.InjectEphemeris(kTarget);
      emu::SetFaults("");
      emu::SetTraceFile("");
      result = emu::ToUtf8(static_cast<LPCWSTR>(message));
    });
    return result;
  }

  // Every handle the injection opened was closed, the port before the file.
  void ExpectHandlesClosed() {
    std::vector<std::string> opened, closed;
    for (const auto& line : TracedCalls(trace_, "CreateFileW"))
      if (line.find("-> invalid") == std::string::npos)
        opened.push_back(
            line.substr(line.find("-> ") + 3, line.find(" err=") - line.find("-> ") - 3));
    for (const auto& line : TracedCalls(trace_, "CloseHandle"))
      closed.push_back(line.substr(12, line.find(' ', 12) - 12));
    std::vector<std::string> reversed(opened.rbegin(), opened.rend());
    EXPECT_EQ(closed, reversed);
  }

  std::string status_;
  std::string trace_;
};

TEST_F(InjectTest, LoadsTheFileAndShowsTheNewValidity) {
  std::string data(150, 'e');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  WriteHostFile(kTargetFile, data);
  time_t before = time(nullptr);
  EXPECT_EQ(Inject(), "");
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris"), data);
  // The emulated driver's data is valid for a week from the load.
  std::string record = ReadHostFile("dev/COM7/validity");
  ASSERT_EQ(record.size(), 20u);
  int32_t v[5];
  memcpy(v, record.data(), 20);
  char expected[64];
  time_t week = before + 7 * 86400;
  struct tm t;
  gmtime_r(&week, &t);
  snprintf(expected, sizeof expected, "status: shown Updated until %04d-%02d-%02d %02d:", v[0],
           v[1], v[2], v[3]);
  EXPECT_EQ(v[0], t.tm_year + 1900);
  EXPECT_EQ(status_.rfind(expected, 0), 0u) << status_;
  ExpectHandlesClosed();
}

struct SizeCase {
  uint64_t size;
  std::string result;
};

TEST_F(InjectTest, AcceptsOnlyFilesOf100To204800Bytes) {
  const uint64_t k4GiB = uint64_t{1} << 32;
  const SizeCase cases[] = {
      {0, "Strange filesize 0 of \\windows\\ZUZIdarudaZozo.ee"},
      {99, "Strange filesize 99 of \\windows\\ZUZIdarudaZozo.ee"},
      {100, ""},
      {204800, ""},
      {204801, "Strange filesize 204801 of \\windows\\ZUZIdarudaZozo.ee"},
      // Past 4 GiB, where the low part alone would pass (sparse files).
      {k4GiB + 40960, "Strange filesize 4295008256 of \\windows\\ZUZIdarudaZozo.ee"},
      {k4GiB + 100, "Strange filesize 4294967396 of \\windows\\ZUZIdarudaZozo.ee"},
      {k4GiB, "Strange filesize 4294967296 of \\windows\\ZUZIdarudaZozo.ee"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    std::filesystem::remove(Path("dev/COM7/ephemeris"));
    WriteHostFile(kTargetFile, "");
    std::filesystem::resize_file(Path(kTargetFile), c.size);
    EXPECT_EQ(Inject(), c.result);
    EXPECT_EQ(Exists("dev/COM7/ephemeris"), c.result.empty());
    ExpectHandlesClosed();
  }
}

struct FailureCase {
  const char* name;
  std::function<void(const std::string& device)> prepare;
  std::string faults;
  std::string result;
};

TEST_F(InjectTest, EachFailureHasItsMessageAndClosesWhatWasOpened) {
  std::string file(150, 'x');
  const FailureCase cases[] = {
      {"no file", [](const std::string& d) { std::filesystem::remove(d + "/" + kTargetFile); }, "",
       "Error 2 opening \\windows\\ZUZIdarudaZozo.ee"},
      {"no receiver", [](const std::string& d) { std::filesystem::remove_all(d + "/dev/COM7"); },
       "", "Error 2 opening COM7:"},
      {"size unknown", nullptr, "GetFileSize=6",
       "Strange filesize -1 of \\windows\\ZUZIdarudaZozo.ee"},
      {"no memory", nullptr, "LocalAlloc=8", "Can't allocate 150 bytes"},
      {"read fails", nullptr, "ReadFile=30",
       "Failed to read \\windows\\ZUZIdarudaZozo.ee, read:0, error:30"},
      {"driver refuses",
       [](const std::string& d) { std::ofstream(d + "/dev/COM7/load-error") << "31"; }, "",
       "Failed to copy to COM7:, error 31"},
      {"validity fails",
       [](const std::string& d) { std::ofstream(d + "/dev/COM7/validity-error") << "5"; }, "",
       "Failed to get result from comport, error 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Path("dev"));
    std::filesystem::create_directories(Path("dev/COM7"));
    WriteHostFile(kTargetFile, file);
    if (c.prepare) c.prepare(dir_);
    EXPECT_EQ(Inject(c.faults), c.result);
    if (!c.result.empty()) {
      EXPECT_EQ(LinesStarting(status_, "status:"), "") << status_;
    }
    ExpectHandlesClosed();
  }
}

TEST_F(InjectTest, APortHeldByAnotherProgramIsReported) {
  WriteHostFile(kTargetFile, std::string(150, 'x'));
  int fd = open(Path("dev/COM7/lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(Inject(), "Error 5 opening COM7:");
  close(fd);
  ExpectHandlesClosed();
}

TEST_F(InjectTest, ARecordThatCannotBeShownIsReportedNotShown) {
  // A stored zone whose biases add up to thousands of years.
  TIME_ZONE_INFORMATION far = Zone(INT32_MAX);
  far.StandardBias = far.DaylightBias = INT32_MAX;
  far.StandardDate = Rule(10, 0, 5, 3);
  far.DaylightDate = Rule(3, 0, 5, 2);
  struct Case {
    const char* name;
    TIME_ZONE_INFORMATION zone;
    std::string record;
    std::string result;
  };
  const Case cases[] = {
      {"month 13", Zone(0), Record(2009, 13, 2, 3, 4), "Invalid validity date 2009-13-2 3:4"},
      {"zone out of range", far, Record(2009, 6, 2, 3, 4), "Invalid validity date 2009-6-2 3:4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRegistry(ZoneRegistry(c.zone));
    emu::ResetCrtTimeZone();
    std::string result;
    status_ = RunDialog([&](HarnessDlg& dlg) {
      // The port is opened by the harness as the injection would.
      WriteHostFile("dev/COM7/validity", c.record);
      HANDLE port =
          CreateFileW(u"COM7:", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
      CString message = dlg.QueryEphemerisValidity(port);
      CloseHandle(port);
      result = emu::ToUtf8(static_cast<LPCWSTR>(message));
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(LinesStarting(status_, "status:"), "");
  }
}

struct PortNameCase {
  const char* name;
  std::string value;  // the registry line for "index", empty: no key
  std::string port;
};

TEST_F(InjectTest, FindsTheReceiversPortName) {
  const PortNameCase cases[] = {
      {"no key", "", "COM7:"},
      {"no value", "\"other\"=dword:00000001", "COM7:"},
      {"number 4", "\"index\"=dword:00000004", "COM4:"},
      {"number 0", "\"index\"=dword:00000000", "COM0:"},
      {"top bit set", "\"index\"=dword:80000001", "COM-2147483647:"},
      {"one-character text", "\"index\"=\"4\"", "COM52:"},
      {"longer text", "\"index\"=\"12\"", "COM7:"},
      {"two bytes", "\"index\"=hex:05,01", "COM261:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reg = ZoneRegistry(Zone(0));
    if (!c.value.empty())
      reg += "[HKEY_LOCAL_MACHINE\\drivers\\builtin\\vr_com]\n" + c.value + "\n";
    WriteRegistry(reg);
    std::string port;
    RunDialog([&](HarnessDlg& dlg) {
      CString name = dlg.GetGpsPortName();
      port = emu::ToUtf8(static_cast<LPCWSTR>(name));
    });
    EXPECT_EQ(port, c.port);
  }
}

}  // namespace
