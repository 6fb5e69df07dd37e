#include "support/skylode_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <vector>

extern char** environ;

namespace {

// The environment for the program: the test's own, with SKYLODE_DEVICE, the
// script display and the options' variables.
std::vector<std::string> Environment(const std::string& device, const ProgramOptions& options) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  vars["SKYLODE_DEVICE"] = device;
  vars["SKYLODE_DISPLAY"] = "script";
  for (const auto& [k, v] : options.env) vars[k] = v;
  std::vector<std::string> env;
  for (const auto& [k, v] : vars) env.push_back(k + "=" + v);
  return env;
}

// Spawned rather than forked, and with close-on-exec pipes, so tests may
// start several at once from several threads.
int Start(const std::string& device, const ProgramOptions& options, int* in, int* out, int* err,
          const char* exe = SKYLODE_EXE, const std::string& working_dir = "") {
  int pin[2], pout[2], perr[2];
  if (pipe2(pin, O_CLOEXEC) || pipe2(pout, O_CLOEXEC) || pipe2(perr, O_CLOEXEC)) return -1;
  std::vector<std::string> args{exe};
  args.insert(args.end(), options.args.begin(), options.args.end());
  std::vector<std::string> env = Environment(device, options);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pin[0], 0);
  posix_spawn_file_actions_adddup2(&actions, pout[1], 1);
  posix_spawn_file_actions_adddup2(&actions, perr[1], 2);
  if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
  pid_t pid = -1;
  if (posix_spawn(&pid, exe, &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pin[0]);
  close(pout[1]);
  close(perr[1]);
  if (pid < 0) {
    close(pin[1]);
    close(pout[0]);
    close(perr[0]);
    return -1;
  }
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
