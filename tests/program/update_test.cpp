// One whole update, pressed or unattended, through the real program, its
// script display and the loopback server.
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/trace_reader.h"
#include "support/device_fixture.h"
#include "support/handheld_builders.h"
#include "support/loopback_server.h"
#include "support/skylode_process.h"

namespace {

const char* kTargetFile = "fs/windows/ZUZIdarudaZozo.ee";
const char* kShortcut = "fs/windows/Start Menu/Programs/Skylode auto.lnk";

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

class UpdateTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_TRUE(Server().ok());
    PrepareForUpdate();
  }

  ProgramRun Run(const std::string& input, std::vector<std::string> args = {},
                 std::map<std::string, std::string> env = {}) {
    env["SKYLODE_TRACE"] = Path("../trace");
    ProgramOptions options{std::move(args), std::move(env), 60};
    ProgramRun run = RunSkylode(dir_, input, options);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return run;
  }

  std::string Trace() { return ReadTrace(Path("../trace")); }

  static std::string Type(const std::string& address) { return "type " + address + "\n"; }
  std::string Url(const std::string& path) { return Server().Url("http", path); }

  // The remembered address as the registry file holds it.
  std::string RememberedLine() { return LinesStarting(ReadHostFile("registry.reg"), "\"url\"="); }
};

TEST_F(UpdateTest, ASuccessfulUpdateShowsNoBoxAndTheNewValidity) {
  ProgramRun run = Run(Type(Url("/bytes/3000")) + "click 1000\ndump\n");
  EXPECT_EQ(LinesStarting(run.out, "box:"), "");
  EXPECT_TRUE(std::regex_search(
      run.out,
      std::regex("\nstatus: shown Updated until 2[0-9]{3}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}\n")))
      << run.out;
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris").size(), 3000u);
  EXPECT_EQ(ReadHostFile(kTargetFile), ReadHostFile("dev/COM7/ephemeris"));
  EXPECT_EQ(RememberedLine(), "\"url\"=\"" + Url("/bytes/3000") + "\"\n");
  EXPECT_NE(run.out.find("cursor: arrow"), std::string::npos);

  // The steps in their order; the connection released and the cursor
  // restored once each.
  std::string trace = Trace();
  const char* steps[] = {"GetDlgItem 0x10010 1005",
                         "ShowWindow",
                         "GetDlgItemTextW",
                         "RegSetValueExW",
                         "InternetAttemptConnect",
                         "ConnMgrMapURL",
                         "ConnMgrEstablishConnectionSync",
                         "LoadCursorW null #32514",
                         "SetCursor",
                         "InternetOpenUrlW",
                         "MoveFileW",
                         "0x220051",
                         "SetDlgItemTextW",
                         "ConnMgrReleaseConnection",
                         "SetCursor"};
  size_t at = trace.find("\nEnableWindow");  // the end of the start-up
  ASSERT_NE(at, std::string::npos);
  for (const char* step : steps) {
    size_t next = trace.find(step, at);
    ASSERT_NE(next, std::string::npos) << step << " after " << trace.substr(at, 300);
    at = next + 1;
  }
  EXPECT_EQ(CountOf(trace, "\nConnMgrReleaseConnection"), 1);
  EXPECT_EQ(CountOf(trace, "\nSetCursor"), 2);
}

TEST_F(UpdateTest, AnEmptyAddressStillTestsRequestsAndReleasesTheConnection) {
  ProgramRun run = Run("type \nclick 1000\ndump\n");
  EXPECT_EQ(RememberedLine(), "\"url\"=\"\"\n");
  std::string trace = Trace();
  for (const char* call :
       {"InternetAttemptConnect", "ConnMgrEstablishConnectionSync", "ConnMgrReleaseConnection"})
    EXPECT_EQ(CountOf(trace, std::string("\n") + call), 1) << call;
  EXPECT_EQ(CountOf(trace, "InternetOpenUrlW"), 0);
  EXPECT_EQ(LinesStarting(run.out, "box:"), "");
  EXPECT_EQ(LinesStarting(run.out, "status:"), "status: hidden\n");
}

TEST_F(UpdateTest, LongAddressesAreCutTo1023Characters) {
  for (size_t length : {1023u, 1024u, 1500u}) {
    SCOPED_TRACE(length);
    std::string base = Url("/bytes/200?pad=");
    std::string address = base + std::string(length - base.size(), 'p');
    std::string used = address.substr(0, 1023);
    Run(Type(address) + "click 1000\n");
    EXPECT_EQ(RememberedLine(), "\"url\"=\"" + used + "\"\n");
    EXPECT_NE(LinesStarting(Trace(), "InternetOpenUrlW").find(" \"" + used + "\" "),
              std::string::npos);
    std::filesystem::remove(Path("../trace"));
  }
}

TEST_F(UpdateTest, WithoutTheClientKeyNothingIsRememberedAndTheUpdateRuns) {
  WriteRegistry(ZoneRegistry(Zone(0)));
  ProgramRun run = Run(Type(Url("/bytes/300")) + "click 1000\n");
  EXPECT_EQ(ReadHostFile("registry.reg").find("AGPRSDownloadClient"), std::string::npos);
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris").size(), 300u);
  EXPECT_EQ(CountOf(run.out, "status: shown"), 1);
}

TEST_F(UpdateTest, NoAtTheFirstPromptEndsTheUpdateAtOnce) {
  WriteHostFile("offline", "");
  ProgramRun run = Run(Type(Url("/bytes/300")) + "click 1000\nno\ndump\n");
  EXPECT_EQ(LinesStarting(run.out, "box:"),
            "box:  | Error connecting to internet. Continue? | YES NO\n");
  EXPECT_EQ(RememberedLine(), "\"url\"=\"" + Url("/bytes/300") + "\"\n");
  std::string trace = Trace();
  EXPECT_EQ(CountOf(trace, "ConnMgrMapURL"), 0);
  EXPECT_EQ(CountOf(trace, "\nSetCursor"), 0);
  EXPECT_EQ(CountOf(trace, "ConnMgrReleaseConnection"), 0);
  EXPECT_FALSE(Exists(kTargetFile));
}

struct FailureCase {
  const char* name;
  std::string path;            // on the server
  std::string receiver_error;  // load-error file
  std::string box;
  bool loaded;
};

TEST_F(UpdateTest, EachFailureIsToldInExactlyOneBox) {
  const FailureCase cases[] = {
      {"download refused", "/bytes/300?status=404&reason=Not%20Found", "",
       "box: Skylode | HTTP status 404 Not Found | OK", false},
      {"download cut short", "/bytes/3000?cut=1000", "",
       "box: Skylode | Error 12030 InternetReadFile | OK", false},
      {"driver refuses", "/bytes/300", "31",
       "box: Skylode | Failed to copy to COM7:, error 31 | OK", false},
      {"file too small", "/bytes/50", "",
       R"(box: Skylode | Strange filesize 50 of \\windows\\ZUZIdarudaZozo.ee | OK)", false},
      // Stored (within the download's bound), yet too big for the receiver.
      {"file too big", "/bytes/204801", "",
       R"(box: Skylode | Strange filesize 204801 of \\windows\\ZUZIdarudaZozo.ee | OK)", false},
      {"file at the download's bound", "/bytes/1048576", "",
       R"(box: Skylode | Strange filesize 1048576 of \\windows\\ZUZIdarudaZozo.ee | OK)", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Path("dev/COM7"));
    std::filesystem::create_directories(Path("dev/COM7"));
    if (!c.receiver_error.empty()) WriteHostFile("dev/COM7/load-error", c.receiver_error);
    WriteHostFile(kTargetFile, "old data");
    ProgramRun run = Run(Type(Url(c.path)) + "click 1000\nok\ndump\n");
    EXPECT_EQ(LinesStarting(run.out, "box:"), c.box + "\n");
    EXPECT_EQ(LinesStarting(run.out, "status:"), "status: hidden\n");
    EXPECT_FALSE(Exists("dev/COM7/ephemeris"));
    EXPECT_NE(run.out.find("cursor: arrow"), std::string::npos);
    EXPECT_EQ(CountOf(Trace(), "\nConnMgrReleaseConnection"), 1);
    std::filesystem::remove(Path("../trace"));
  }
}

TEST_F(UpdateTest, APressWhileTheDownloadsBoxIsOpenDoesNothing) {
  ProgramRun run = Run(Type(Url("/bytes/300?status=500")) + "click 1000\nclick 1000\nok\n");
  EXPECT_EQ(CountOf(run.out, "box:"), 1) << run.out;
  EXPECT_EQ(CountOf(Trace(), "\nInternetOpenUrlW"), 1);
}

TEST_F(UpdateTest, ASecondPressHidesTheStatusUntilItSucceedsAgain) {
  ProgramRun run = Run(Type(Url("/bytes/300")) + "click 1000\nclick 1000\n");
  std::string status = LinesStarting(run.out, "status:");
  std::regex shape("status: shown (Updated until .*)\nstatus: hidden\nstatus: shown \\1\n");
  EXPECT_TRUE(std::regex_match(status, shape)) << status;
}

// The handle a trace line's call returned ("... -> 0x104 err=0") or took
// as its first argument ("CloseHandle 0x104 -> ...").
std::string ResultOf(const std::string& line) {
  size_t at = line.find(" -> ") + 4;
  return line.substr(at, line.find(' ', at) - at);
}
std::string FirstArgument(const std::string& line) {
  size_t at = line.find(' ') + 1;
  return line.substr(at, line.find(' ', at) - at);
}

TEST_F(UpdateTest, WhatAFailedCloseLeavesOpenIsReleasedAtExit) {
  // Every close of one whole update fails in turn: the program cannot help
  // leaving that handle open, and its exit must still be clean.
  Run(Type(Url("/bytes/3000")) + "click 1000\n");
  std::vector<std::string> faults;
  for (const char* close : {"CloseHandle", "InternetCloseHandle"}) {
    size_t count = TracedCalls(Path("../trace"), close).size();
    ASSERT_GT(count, 0u) << close << "\n" << Trace();
    for (size_t n = 1; n <= count; ++n)
      faults.push_back(std::string(close) + "#" + std::to_string(n));
  }
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault);
    std::filesystem::remove(Path("../trace"));
    ProgramRun run =
        Run(Type(Url("/bytes/3000")) + "click 1000\n", {}, {{"SKYLODE_FAULTS", fault + "=31"}});
    EXPECT_EQ(run.err, "");
    std::string mutex = ResultOf(TracedCalls(Path("../trace"), "CreateMutexW").at(0));
    std::string left;
    for (const auto& line : TracedCalls(Path("../trace"), fault.substr(0, fault.find('#'))))
      if (line.find(" -> 0 err=31") != std::string::npos) left = FirstArgument(line);
    EXPECT_EQ(LinesStarting(Trace(), "(exit)"),
              "(exit) open handles: " + mutex + " " + left + "\n");
  }
}

// Memory running out while the download's failure is told, twice in a row
// (the failure's text, then the catch-all's): its handles are closed, so the
// next Updates are not blocked by an open temporary file and the program ends
// normally.
TEST_F(UpdateTest, ExhaustedMemoryInTheDownloadsErrorPathLeavesNothingOpen) {
  std::string input = Type(Url("/bytes/3000")) + "click 1000\nok\n";
  // Which heap allocation builds the write failure's text.
  Run(input, {}, {{"SKYLODE_FAULTS", "WriteFile#1=31"}});
  std::istringstream trace(Trace());
  int allocations = 0;
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("WriteFile ", 0) == 0) break;
    if (line.rfind("HeapAlloc ", 0) == 0) ++allocations;
  }
  std::filesystem::remove(Path("../trace"));
  std::string faults = "WriteFile#1=31,HeapAlloc#" + std::to_string(allocations + 1) +
                       "=8,HeapAlloc#" + std::to_string(allocations + 2) + "=8";
  ProgramRun run =
      Run(input + "click 1000\nok\nclick 1000\ndump\n", {}, {{"SKYLODE_FAULTS", faults}});
  std::string boxes = LinesStarting(run.out, "box:");
  EXPECT_EQ(boxes.rfind("box: Skylode | error reading http file | OK\n", 0), 0u) << boxes;
  EXPECT_EQ(boxes.find("Error 32"), std::string::npos) << boxes;
  EXPECT_NE(run.out.find("status: shown Updated until"), std::string::npos) << run.out;
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris").size(), 3000u);
}

// A server that trickles cannot keep an unattended run alive: the download
// gives up (here after 20 of the client's 300 ms waits), the box is told and
// the program closes as after any other outcome.
TEST_F(UpdateTest, AnUnattendedUpdateFromATricklingServerEnds) {
  WriteRegistry(std::string(kClientKey) + "\"url\"=\"" + Url("/bytes/40960?trickle=40") + "\"\n\n" +
                ZoneRegistry(Zone(0)));
  WriteHostFile(kTargetFile, "old data");
  ProgramRun run = Run("", {"/u"}, {{"SKYLODE_HTTP_TIMEOUT_MS", "300"}});
  EXPECT_EQ(LinesStarting(run.out, "box:"), "box: Skylode | Download timed out after 6 s | OK\n");
  EXPECT_NE(run.out.find("closed\n"), std::string::npos);
  EXPECT_EQ(ReadHostFile(kTargetFile), "old data");
}

// ---- Unattended mode and the launcher shortcut ------------------------------

TEST_F(UpdateTest, AStartWithSlashURunsOneUpdateAndClosesThreeSecondsLater) {
  struct Case {
    std::string arg;
    bool unattended;
  };
  for (const Case& c : {Case{"/u", true}, Case{"/update", true}, Case{"/U", false}}) {
    SCOPED_TRACE(c.arg);
    std::filesystem::remove(Path("../trace"));
    std::filesystem::remove(Path("dev/COM7/validity"));  // nothing to show at start
    WriteRegistry(std::string(kClientKey) + "\"url\"=\"" + Url("/bytes/400") + "\"\n\n" +
                  ZoneRegistry(Zone(0)));
    auto start = std::chrono::steady_clock::now();
    ProgramRun run = Run("", {c.arg});
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(CountOf(Trace(), "\nInternetOpenUrlW"), c.unattended ? 1 : 0);
    EXPECT_EQ(CountOf(run.out, "status: shown"), c.unattended ? 1 : 0);
    EXPECT_EQ(CountOf(Trace(), "\nSleep 3000"), c.unattended ? 1 : 0);
    EXPECT_NE(run.out.find("closed\n"), std::string::npos);
    if (c.unattended) {
      EXPECT_GE(seconds, 3.0);
    }
  }
}

TEST_F(UpdateTest, UnattendedWithoutTheKeyUsesTheFirstPresetAndNoStillCloses) {
  WriteRegistry(ZoneRegistry(Zone(0)));
  WriteHostFile("offline", "");  // keeps the preset's host from being looked up
  // The answer is given once the prompt shows: input is read whenever the
  // program waits, and it waits for the timer first.
  RunningSkylode program(dir_, ProgramOptions{{"/u"}, {{"SKYLODE_TRACE", Path("../trace")}}, 60});
  ASSERT_TRUE(program.WaitForLine("box:  | Error connecting to internet. Continue? | YES NO"));
  program.Send("no\n");
  ProgramRun run = program.Finish();
  EXPECT_EQ(LinesStarting(run.out, "box:"),
            "box:  | Error connecting to internet. Continue? | YES NO\n");
  EXPECT_EQ(LinesStarting(run.out, "answer:"), "answer: no\n");
  EXPECT_NE(Trace().find("GetDlgItemTextW 0x10010 1001"), std::string::npos);
  EXPECT_NE(run.out.find("closed\n"), std::string::npos);
  EXPECT_EQ(CountOf(Trace(), "\nSleep 3000"), 1);

  // Yes at every prompt (here: boxes nobody can answer) goes on to the
  // download. An empty remembered address counts as none.
  for (const std::string& reg : {std::string(), std::string(kClientKey) + "\"url\"=\"\"\n"}) {
    SCOPED_TRACE(reg);
    WriteRegistry(reg + "\n" + ZoneRegistry(Zone(0)));
    std::filesystem::remove(Path("../trace"));
    run = Run("", {"/u"});
    EXPECT_NE(LinesStarting(Trace(), "InternetOpenUrlW")
                  .find(" \"http://ee.maker-a.example/packedEphemeris.ee\" "),
              std::string::npos);
    EXPECT_EQ(CountOf(run.out, "box: Skylode | Error 12029 InternetOpenUrl, "), 1) << run.out;
  }
}

TEST_F(UpdateTest, TheLauncherShortcutIsMadeOnlyWhenTheKeyHasNoAddress) {
  // Key without an address: made, with the quoted executable and /u.
  Run("");
  std::string exe = SKYLODE_EXE;
  for (auto& ch : exe)
    if (ch == '/') ch = '\\';
  std::string target = "\"" + exe + "\" /u";
  EXPECT_EQ(ReadHostFile(kShortcut), std::to_string(target.size()) + "#" + target);

  // Something already there is left alone.
  WriteHostFile(kShortcut, "mine");
  Run("");
  EXPECT_EQ(ReadHostFile(kShortcut), "mine");

  // An address remembered (an empty one too: it was read), or no key at
  // all: never made.
  for (const std::string& reg : {std::string(kClientKey) + "\"url\"=\"http://x.example/\"\n",
                                 std::string(kClientKey) + "\"url\"=\"\"\n", std::string()}) {
    std::filesystem::remove(Path(kShortcut));
    WriteRegistry(reg);
    Run("");
    EXPECT_FALSE(Exists(kShortcut));
  }
}

TEST_F(UpdateTest, AStartFromTheShortcutRunsUnattended) {
  Run("");  // makes the shortcut
  WriteRegistry(std::string(kClientKey) + "\"url\"=\"" + Url("/bytes/500") + "\"\n\n" +
                ZoneRegistry(Zone(0)));
  std::string command = std::string("SKYLODE_DEVICE='") + dir_ + "' SKYLODE_DISPLAY=script '" +
                        SKYLODE_DEVICE_TOOL +
                        "' launch '\\Windows\\Start Menu\\Programs\\Skylode auto.lnk' </dev/null";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(CountOf(out, "status: shown"), 1) << out;
  EXPECT_EQ(ReadHostFile("dev/COM7/ephemeris").size(), 500u);
}

TEST_F(UpdateTest, AnUnattendedStartWhileAnotherCopyRunsUpdatesNothing) {
  WriteRegistry(std::string(kClientKey) + "\"url\"=\"" + Url("/bytes/500") + "\"\n\n" +
                ZoneRegistry(Zone(0)));
  RunningSkylode first(dir_);
  first.Send("dump\n");
  ASSERT_TRUE(first.WaitForLine("end"));
  ProgramRun second = Run("", {"/u"});
  EXPECT_EQ(second.out, "");
  EXPECT_TRUE(first.WaitForLine("foreground"));
  ProgramRun rest = first.Finish();
  EXPECT_EQ(CountOf(rest.out, "status: shown"), 0);
  EXPECT_FALSE(Exists("dev/COM7/ephemeris"));
}

}  // namespace
