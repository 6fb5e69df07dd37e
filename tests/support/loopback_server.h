// Starts tests/support/loopback_server.py for the length of a test suite and
// tells its ports. The server exits by itself when this process goes away
// (its standard input ends), after its time limit, or when stopped here.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef SKYLODE_SOURCE_DIR
#error "SKYLODE_SOURCE_DIR must name the source tree"
#endif

class LoopbackServer {
 public:
  // `extra`: more arguments, e.g. {"--root", dir}.
  explicit LoopbackServer(const std::vector<std::string>& extra = {}) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {
        "python3",         SKYLODE_SOURCE_DIR "/tests/support/loopback_server.py",
        "--exit-on-eof",   "--quiet",
        "--max-seconds",   "900",
        "--stall-seconds", "20"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp("python3", argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    ReadPorts(out[0]);
    close(out[0]);
  }

  ~LoopbackServer() {
    if (stdin_ >= 0) close(stdin_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      // A server that does not end within ten seconds must not hold the test.
      int status = 0;
      for (int tenths = 0; tenths < 100; ++tenths) {
        if (waitpid(pid_, &status, WNOHANG) != 0) return;
        usleep(100000);
      }
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool ok() const { return values_.count("http") && values_.count("ca"); }
  int Port(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? 0 : atoi(it->second.c_str());
  }
  // The test CA's certificate (PEM).
  std::string CaPath() const {
    auto it = values_.find("ca");
    return it == values_.end() ? "" : it->second;
  }
  // Makes a handheld trust the server's test CA (its device folder's ca/).
  void InstallCa(const std::string& device_dir) const {
    std::filesystem::create_directories(device_dir + "/ca");
    std::filesystem::copy_file(CaPath(), device_dir + "/ca/loopback-test-ca.pem");
  }
  // "<scheme>://127.0.0.1:<port of listener>" + path; listener "http",
  // "https", "https_expired", "https_wrongname", "https_unknownca".
  std::string Url(const std::string& listener, const std::string& path) const {
    std::string scheme = listener == "http" ? "http" : "https";
    return scheme + "://127.0.0.1:" + std::to_string(Port(listener)) + path;
  }

 private:
  // The first line: "name=value name=value ...".
  void ReadPorts(int fd) {
    std::string line;
    char c;
    while (line.size() < 4096) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) return;
      if (read(fd, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      size_t eq = word.find('=');
      if (eq != std::string::npos) values_[word.substr(0, eq)] = word.substr(eq + 1);
    }
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  std::map<std::string, std::string> values_;
};
