#include "core/leftovers.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "core/device.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

// A process's start is known to a clock tick and a file's time to the
// kernel's coarse clock: a file changed this close to the start of the
// process that has its pid now is kept.
constexpr double kSlackSeconds = 2;

// The decimal pid `text` is, or 0.
pid_t Pid(const std::string& text) {
  if (text.empty() || text.size() > 9 || text[0] == '0') return 0;
  for (char c : text)
    if (c < '0' || c > '9') return 0;
  return static_cast<pid_t>(std::stol(text));
}

// "<name>.<pid>.tmp": the pid, or 0.
pid_t TemporaryPid(const std::string& name) {
  const std::string suffix = ".tmp";
  if (name.size() <= suffix.size() || name.compare(name.size() - 4, 4, suffix) != 0) return 0;
  std::string base = name.substr(0, name.size() - suffix.size());
  size_t dot = base.rfind('.');
  return dot == std::string::npos ? 0 : Pid(base.substr(dot + 1));
}

// "<pid>.fifo", "<pid>.win" or "<pid>.win.tmp": the pid, or 0.
pid_t WindowFilePid(const std::string& name) {
  size_t dot = name.find('.');
  if (dot == std::string::npos) return 0;
  std::string rest = name.substr(dot);
  if (rest != ".fifo" && rest != ".win" && rest != ".win.tmp") return 0;
  return Pid(name.substr(0, dot));
}

double Seconds(const timespec& t) { return t.tv_sec + t.tv_nsec / 1e9; }

// When process `pid` started, in seconds since boot.
std::optional<double> StartedAt(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return std::nullopt;
  // The name in parentheses may hold anything; the fields after it are
  // numbered from 3, and the start time is field 22.
  size_t paren = stat.rfind(')');
  if (paren == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(paren + 1));
  std::string field;
  for (int n = 3; n <= 22; ++n)
    if (!(fields >> field)) return std::nullopt;
  long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? std::optional<double>(std::stod(field) / ticks) : std::nullopt;
}

// The file, last changed as `st` says, was left by a process with `pid` that
// no longer runs.
bool Abandoned(pid_t pid, const struct stat& st) {
  if (pid == getpid()) return true;
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::optional<double> started = StartedAt(pid);
  if (!started) return false;  // running, and when it started is unknown: keep
  timespec real{}, boot{};
  clock_gettime(CLOCK_REALTIME, &real);
  clock_gettime(CLOCK_BOOTTIME, &boot);
  double changed = Seconds(boot) - (Seconds(real) - Seconds(st.st_mtim));
  return *started > changed + kSlackSeconds;
}

// Some process has the FIFO open for reading: its owner is alive.
bool FifoRead(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return false;
  int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;  // ENXIO: nobody reads it
  close(fd);
  return true;
}

// Removes the entries of `dir` that `pid_of` names a pid for, when that
// process has abandoned them and `keep` does not hold.
template <class PidOf, class Keep>
void Sweep(const std::string& dir, PidOf pid_of, Keep keep) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    pid_t pid = pid_of(name);
    if (!pid) continue;
    std::string path = entry.path().string();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) continue;
    if (Abandoned(pid, st) && !keep(pid)) unlink(path.c_str());
  }
}

}  // namespace

void RemoveLeftovers() {
  const std::string device = DeviceDir();
  auto keep_none = [](pid_t) { return false; };
  Sweep(
      device,
      [](const std::string& name) {
        pid_t pid = TemporaryPid(name);
        return name == "registry.reg." + std::to_string(pid) + ".tmp" ? pid : 0;
      },
      keep_none);
  std::error_code ec;
  for (const auto& port : fs::directory_iterator(device + "/dev", ec))
    if (port.is_directory(ec)) Sweep(port.path().string(), TemporaryPid, keep_none);
  const std::string run = device + "/run";
  Sweep(run, WindowFilePid,
        [&](pid_t pid) { return FifoRead(run + "/" + std::to_string(pid) + ".fifo"); });
}

}  // namespace emu
