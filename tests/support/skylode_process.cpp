#include "support/skylode_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace {

void Exec(const char* exe, const std::string& device, const ProgramOptions& options,
          const std::string& working_dir) {
  setenv("SKYLODE_DEVICE", device.c_str(), 1);
  setenv("SKYLODE_DISPLAY", "script", 1);
  for (const auto& [k, v] : options.env) setenv(k.c_str(), v.c_str(), 1);
  if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(126);
  std::vector<char*> argv{const_cast<char*>(exe)};
  for (const auto& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(exe, argv.data());
  _exit(127);
}

int Start(const std::string& device, const ProgramOptions& options, int* in, int* out, int* err,
          const char* exe = SKYLODE_EXE, const std::string& working_dir = "") {
  int pin[2], pout[2], perr[2];
  if (pipe(pin) || pipe(pout) || pipe(perr)) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pin[0], 0);
    dup2(pout[1], 1);
    dup2(perr[1], 2);
    for (int fd : {pin[0], pin[1], pout[0], pout[1], perr[0], perr[1]}) close(fd);
    Exec(exe, device, options, working_dir);
  }
  close(pin[0]);
  close(pout[1]);
  close(perr[1]);
  *in = pin[1];
  *out = pout[0];
  *err = perr[0];
  return pid;
}

int Wait(int pid, int timeout_seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -2;
    }
    usleep(2000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads both pipes until they close.
void Drain(int out, int err, std::string* out_text, std::string* err_text) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, 60000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? out_text : err_text)->append(buf, static_cast<size_t>(n));
      }
    }
  }
}

ProgramRun Run(const char* exe, const std::string& working_dir, const std::string& device,
               const std::string& input, const ProgramOptions& options) {
  int in, out, err;
  ProgramRun run;
  int pid = Start(device, options, &in, &out, &err, exe, working_dir);
  if (pid < 0) return run;
  signal(SIGPIPE, SIG_IGN);
  ssize_t written = write(in, input.data(), input.size());
  (void)written;
  close(in);
  Drain(out, err, &run.out, &run.err);
  run.exit_code = Wait(pid, options.timeout_seconds);
  return run;
}

}  // namespace

ProgramRun RunSkylode(const std::string& device, const std::string& input,
                      const ProgramOptions& options) {
  return Run(SKYLODE_EXE, "", device, input, options);
}

ProgramRun RunSkylodeIn(const std::string& working_dir, const std::string& device,
                        const std::string& input, const ProgramOptions& options) {
  return Run(SKYLODE_EXE, working_dir, device, input, options);
}

ProgramRun RunDeviceTool(const std::string& working_dir, const std::string& device,
                         const ProgramOptions& options) {
  return Run(SKYLODE_DEVICE_TOOL, working_dir, device, "", options);
}

RunningSkylode::RunningSkylode(const std::string& device, const ProgramOptions& options) {
  int err;
  pid_ = Start(device, options, &in_, &out_, &err);
  close(err);
}

RunningSkylode::~RunningSkylode() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
}

void RunningSkylode::Send(const std::string& lines) {
  ssize_t written = write(in_, lines.data(), lines.size());
  (void)written;
}

bool RunningSkylode::WaitForLine(const std::string& line, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (("\n" + seen_).find("\n" + line + "\n") != std::string::npos) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return false;
    pollfd fd{out_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    seen_.append(buf, static_cast<size_t>(n));
  }
}

ProgramRun RunningSkylode::Finish() {
  ProgramRun run;
  close(in_);
  in_ = -1;
  std::string rest, err;
  int no_err = open("/dev/null", O_RDONLY);
  Drain(out_, no_err, &rest, &err);
  out_ = -1;
  run.out = seen_ + rest;
  run.exit_code = Wait(pid_, 30);
  pid_ = -1;
  return run;
}
