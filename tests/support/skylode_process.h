// Runs the real Skylode binary (or the device tool) on a device folder, Skylode
// with the script display.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ProgramRun {
  std::string out;  // what the script display printed
  std::string err;
  int exit_code = -1;
};

struct ProgramOptions {
  std::vector<std::string> args;
  std::map<std::string, std::string> env;  // added to the test's own environment
  int timeout_seconds = 30;
};

// Starts Skylode with SKYLODE_DEVICE=device, feeds it `input` and waits for it.
ProgramRun RunSkylode(const std::string& device, const std::string& input,
                      const ProgramOptions& options = {});

// The same, with the folder `working_dir` as the current folder.
ProgramRun RunSkylodeIn(const std::string& working_dir, const std::string& device,
                        const std::string& input, const ProgramOptions& options = {});

// Runs skylode-device with options.args, SKYLODE_DEVICE=device and no input,
// in the folder `working_dir`.
ProgramRun RunDeviceTool(const std::string& working_dir, const std::string& device,
                         const ProgramOptions& options);

// A Skylode left running while the test does something else.
class RunningSkylode {
 public:
  RunningSkylode(const std::string& device, const ProgramOptions& options = {});
  ~RunningSkylode();
  void Send(const std::string& lines);
  // Reads output until a line equal to `line` has come (or the time is up).
  bool WaitForLine(const std::string& line, int timeout_ms = 10000);
  // Closes its input and waits for it to end.
  ProgramRun Finish();
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string seen_;
};
