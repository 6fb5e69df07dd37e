// The fault sweep: one whole update through the real program with the trace
// on, then every traced call failed in turn, a run of its own each. Whatever
// fails, the target is the old file or the new one whole, the receiver holds
// the new file or nothing, one box at most tells of it, the program ends
// normally with nothing left open, and a sanitizer build stays silent.
#include <atomic>
#include <map>
#include <sstream>
#include <thread>

#include "support/device_fixture.h"
#include "support/handheld_builders.h"
#include "support/loopback_server.h"
#include "support/skylode_process.h"
#include "support/trace_reader.h"

namespace {

const char* kTargetFile = "fs/windows/ZUZIdarudaZozo.ee";
const char* kReceiverFile = "dev/COM7/ephemeris";
// Small, so that each run is short: one read of the body.
const size_t kNewSize = 3000;

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

// The server's /bytes/N body.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

// A failure as the platform would report it for that call.
DWORD CodeFor(const std::string& call) {
  return call == "HeapAlloc" || call == "LocalAlloc" ? ERROR_NOT_ENOUGH_MEMORY : ERROR_GEN_FAILURE;
}

// The traced calls, "Name#n" in the order they came.
std::vector<std::string> CallsOf(const std::string& trace) {
  std::vector<std::string> calls;
  std::map<std::string, int> counts;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '(') continue;
    std::string name = line.substr(0, line.find(' '));
    calls.push_back(name + "#" + std::to_string(++counts[name]));
  }
  return calls;
}

// "... -> 0x104 err=0": the value a traced call returned.
std::string ResultOf(const std::string& line) {
  size_t at = line.find(" -> ");
  if (at == std::string::npos) return "";
  at += 4;
  return line.substr(at, line.find(' ', at) - at);
}

struct SweepRun {
  std::string fault;  // "Name#n=code"; empty for the sweep's first run
  ProgramRun result;
  std::string trace, target, receiver;
  bool receiver_loaded = false;
};

class FaultSweepTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_TRUE(Server().ok());
    PrepareForUpdate();
    WriteHostFile(kTargetFile, old_);
  }

  // One whole update on a copy of the prepared handheld.
  void Update(SweepRun& run, int index) {
    std::string folder = root_ + "/run" + std::to_string(index);
    std::filesystem::create_directories(folder);
    std::filesystem::copy(dir_, folder + "/device", std::filesystem::copy_options::recursive);
    ProgramOptions options;
    options.env = {{"SKYLODE_TRACE", folder + "/trace"}, {"SKYLODE_HTTP_TIMEOUT_MS", "3000"}};
    if (!run.fault.empty()) options.env["SKYLODE_FAULTS"] = run.fault;
    options.timeout_seconds = 60;
    std::string input =
        "type " + Server().Url("http", "/bytes/" + std::to_string(kNewSize)) + "\nclick 1000\n";
    run.result = RunSkylode(folder + "/device", input, options);
    run.trace = ReadTrace(folder + "/trace");
    std::ifstream target(folder + "/device/" + kTargetFile, std::ios::binary);
    run.target.assign(std::istreambuf_iterator<char>(target), {});
    std::ifstream receiver(folder + "/device/" + kReceiverFile, std::ios::binary);
    run.receiver_loaded = receiver.good();
    run.receiver.assign(std::istreambuf_iterator<char>(receiver), {});
    std::filesystem::remove_all(folder);
  }

  // What went wrong in a run; empty when nothing did.
  std::string Problems(const SweepRun& run) {
    std::string problems;
    auto problem = [&](const std::string& what) { problems += "  " + what + "\n"; };
    const ProgramRun& r = run.result;
    if (r.exit_code != 0) problem("exit " + std::to_string(r.exit_code));
    // The sanitizers report on standard error; the program writes nothing there.
    if (!r.err.empty()) problem("standard error: " + r.err);
    if (run.target != old_ && run.target != new_)
      problem("target of " + std::to_string(run.target.size()) + " bytes, neither old nor new");
    if (run.receiver_loaded && run.receiver != new_)
      problem("receiver holds " + std::to_string(run.receiver.size()) + " bytes");
    if (run.receiver_loaded && run.target != new_) problem("receiver loaded, target not replaced");
    if (CountOf(r.out, "box: ") > 1) problem("more than one box");
    // The dialog ends once, by its own close, unless it could not be made.
    bool made = ResultOf(TracedLine(run.trace, "DialogBoxParamW ")) != "-1";
    if (LinesStarting(r.out, "closed") != (made ? "closed\n" : ""))
      problem("the dialog did not end once");
    // Left open at the end: only the single-copy mutex, held for the
    // program's life, and a handle whose own close was the call failed.
    std::string allowed = " " + ResultOf(TracedLine(run.trace, "CreateMutexW ")) + " ";
    std::string failed_close = FailedClose(run);
    if (!failed_close.empty()) allowed += failed_close + " ";
    std::string exit_line = TracedLine(run.trace, "(exit) open handles:");
    if (exit_line.empty()) problem("the program did not reach its end");
    std::istringstream left(exit_line.substr(exit_line.find(':') + 1));
    for (std::string h; left >> h;)
      if (h != "none" && allowed.find(" " + h + " ") == std::string::npos)
        problem("left open: " + h + " from " + Opener(run.trace, h));
    return problems;
  }

  // The first trace line starting with `prefix`.
  static std::string TracedLine(const std::string& trace, const std::string& prefix) {
    size_t at = trace.rfind(prefix, 0) == 0 ? 0 : trace.find("\n" + prefix);
    if (at == std::string::npos) return "";
    if (trace[at] == '\n') ++at;
    return trace.substr(at, trace.find('\n', at) - at);
  }

  // The handle whose close the run failed, if the failed call was a close.
  static std::string FailedClose(const SweepRun& run) {
    std::string name = run.fault.substr(0, run.fault.find('#'));
    if (name != "CloseHandle" && name != "InternetCloseHandle") return "";
    std::istringstream lines(run.trace);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(name + " ", 0) == 0 && line.find(" -> 0 ") != std::string::npos)
        return line.substr(name.size() + 1, line.find(' ', name.size() + 1) - name.size() - 1);
    return "";
  }

  // The trace line of the call that returned handle `h`.
  static std::string Opener(const std::string& trace, const std::string& h) {
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
      if (ResultOf(line) == h) return line;
    return "?";
  }

  const std::string old_ = std::string(150, 'o');
  const std::string new_ = Pattern(kNewSize);
};

TEST_F(FaultSweepTest, EveryCallOfAWholeUpdateFailedInTurn) {
  SweepRun first;
  Update(first, 0);
  ASSERT_EQ(Problems(first), "") << first.result.out;
  ASSERT_EQ(first.target, new_) << first.result.out;
  ASSERT_EQ(first.receiver, new_);
  ASSERT_EQ(CountOf(first.result.out, "box: "), 0) << first.result.out;

  std::vector<SweepRun> runs;
  for (const auto& call : CallsOf(first.trace)) {
    SweepRun run;
    run.fault = call + "=" + std::to_string(CodeFor(call.substr(0, call.find('#'))));
    runs.push_back(run);
  }
  for (const char* step :
       {"InternetOpenUrlW ", "WriteFile ", "DeleteAndRenameFile ", "DeviceIoControl "})
    ASSERT_NE(first.trace.find(std::string("\n") + step), std::string::npos) << first.trace;

  // Two runs at a time (CTest runs this test alone).
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < runs.size();) Update(runs[i], static_cast<int>(i) + 1);
    });
  for (auto& w : workers) w.join();

  for (const auto& run : runs) {
    std::string problems = Problems(run);
    EXPECT_EQ(problems, "") << "SKYLODE_FAULTS=" << run.fault << "\n"
                            << run.result.out << "trace:\n"
                            << run.trace;
  }
}

}  // namespace
