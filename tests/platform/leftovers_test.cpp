// What a killed process leaves in the device folder goes at the next start;
// what a running process keeps there stays.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>

#include "support/device_fixture.h"
#include "support/skylode_process.h"

namespace {

// A pid no process has: a child's, once it has ended.
pid_t EndedPid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

class LeftoversTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    std::filesystem::create_directories(Path("run"));
  }

  // Makes the file (a FIFO for *.fifo), last changed `age` seconds ago.
  void Make(const std::string& rel, time_t age) {
    std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
    if (rel.size() > 5 && rel.substr(rel.size() - 5) == ".fifo") {
      ASSERT_EQ(mkfifo(Path(rel).c_str(), 0600), 0) << rel;
    } else {
      WriteHostFile(rel, "left");
    }
    timespec times[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path(rel).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << rel;
  }
};

// Seconds since the machine started.
time_t Uptime() {
  double up = 0;
  std::ifstream("/proc/uptime") >> up;
  return static_cast<time_t>(up);
}

TEST_F(LeftoversTest, TheNextStartRemovesWhatEndedProcessesLeft) {
  const std::string dead = std::to_string(EndedPid());
  // Running: this test (started before its files) and the first process,
  // started with the machine.
  const std::string self = std::to_string(getpid());
  const time_t kBeforeThisTest = 86400, kBeforeTheMachine = Uptime() + 86400;
  struct Case {
    std::string file;
    time_t age;
    bool removed;
  } cases[] = {
      // Of a process that no longer runs.
      {"registry.reg." + dead + ".tmp", 0, true},
      {"dev/COM7/ephemeris." + dead + ".tmp", 0, true},
      {"dev/COM3/validity." + dead + ".tmp", 0, true},
      {"run/" + dead + ".fifo", 0, true},
      {"run/" + dead + ".win", 0, true},
      {"run/" + dead + ".win.tmp", 0, true},
      // Of a running process.
      {"registry.reg." + self + ".tmp", 0, false},
      {"dev/COM7/ephemeris." + self + ".tmp", 0, false},
      {"run/1.win", 0, false},
      // Older than the process that has the pid now: the pid was used again.
      {"registry.reg.1.tmp", kBeforeTheMachine, true},
      {"dev/COM7/validity." + self + ".tmp", kBeforeThisTest, true},
      {"run/1.fifo", kBeforeTheMachine, true},
      {"run/1.win.tmp", kBeforeTheMachine, true},
      // Not the emulation's: the handheld's own files, no pid, other names.
      {"fs/windows/data." + dead + ".tmp", 0, false},
      {"dev/COM7/ephemeris", kBeforeThisTest, false},
      {"run/mutex-x-1", kBeforeThisTest, false},
      {"run/x" + dead + ".win", 0, false},
      {"other." + dead + ".tmp", 0, false},
      {"registry.reg.x." + dead + ".tmp", 0, false},
  };
  for (const auto& c : cases) Make(c.file, c.age);
  // A FIFO that its process still reads stays with its list, whatever the
  // times say.
  Make("run/" + self + ".fifo", kBeforeThisTest);
  Make("run/" + self + ".win", kBeforeThisTest);
  int reader = open(Path("run/" + self + ".fifo").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);

  ProgramRun run = RunSkylode(dir_, "");
  close(reader);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  for (const auto& c : cases) EXPECT_EQ(Exists(c.file), !c.removed) << c.file << " age " << c.age;
  EXPECT_TRUE(Exists("run/" + self + ".fifo"));
  EXPECT_TRUE(Exists("run/" + self + ".win"));
  EXPECT_TRUE(Exists("registry.reg"));
}

TEST_F(LeftoversTest, ACopyKilledOutrightLeavesNothingAfterTheNextStart) {
  RunningSkylode killed(dir_);
  killed.Send("dump\n");
  ASSERT_TRUE(killed.WaitForLine("end"));
  const std::string pid = std::to_string(killed.pid());
  ASSERT_TRUE(Exists("run/" + pid + ".fifo"));
  ASSERT_TRUE(Exists("run/" + pid + ".win"));
  kill(killed.pid(), SIGKILL);
  waitpid(killed.pid(), nullptr, 0);

  ProgramRun next = RunSkylode(dir_, "dump\n");
  EXPECT_EQ(next.exit_code, 0) << next.err;
  EXPECT_FALSE(Exists("run/" + pid + ".fifo"));
  EXPECT_FALSE(Exists("run/" + pid + ".win"));
}

}  // namespace
