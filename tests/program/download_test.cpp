// DownloadHttpFile against the loopback server: the target is replaced only
// by a whole, successful transfer, and each failure shows one box.
#include <afxcmn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/device_fixture.h"
#include "support/trace_reader.h"
#include "core/api_call.h"
#include "core/clock.h"
#include "display/script/protocol.h"
#include "support/loopback_server.h"
#include "net.h"
#include "core/wide.h"

namespace {

const char kTarget[] = "fs/windows/ZUZIdarudaZozo.ee";
const char kTemporary[] = "fs/windows/tmp";
const char kOld[] = "the previous ephemeris";
// The progress bar's window. There is no dialog here: the calls to it show
// in the trace.
const HWND kBar = reinterpret_cast<HWND>(0x7770);

}  // namespace

class DownloadTest : public DeviceTest {
 protected:
  static void SetUpTestSuite() {
    char templ[] = "/tmp/skylode-served-XXXXXX";
    served_ = mkdtemp(templ);
    // Not a multiple of the 1024-byte chunk, and not the pattern's period.
    std::string body;
    for (int i = 0; i < 150001; ++i) body += static_cast<char>((i * 7919) >> 3);
    std::ofstream(served_ + "/ee.bin", std::ios::binary) << body;
    body_ = body;
    server_ = std::make_unique<LoopbackServer>(std::vector<std::string>{"--root", served_});
  }
  static void TearDownTestSuite() {
    server_.reset();
    std::filesystem::remove_all(served_);
  }

  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_TRUE(server_->ok()) << "the loopback server did not start";
    server_->InstallCa(dir_);
    setenv("SKYLODE_HTTP_TIMEOUT_MS", "1500", 1);
    WriteHostFile(kTarget, kOld);
  }
  void TearDown() override {
    unsetenv("SKYLODE_HTTP_TIMEOUT_MS");
    DeviceTest::TearDown();
  }

  // Runs the download; the boxes it showed land in boxes_.
  bool Download(const std::string& url, bool with_bar = true) {
    std::filesystem::remove(Path("trace.txt"));
    emu::SetTraceFile(Path("trace.txt"));
    std::istringstream in("");
    std::ostringstream out;
    emu::UseScriptDisplay(in, out);
    CProgressCtrl bar;
    bar.m_hWnd = kBar;
    bool ok = DownloadHttpFile(emu::FromUtf8(url).c_str(), u"\\windows\\ZUZIdarudaZozo.ee",
                               with_bar ? &bar : nullptr);
    emu::SetTraceFile("");
    boxes_.clear();
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("box: ", 0) == 0) boxes_.push_back(line);
    return ok;
  }

  std::vector<std::string> Calls(const std::string& name) {
    return TracedCalls(Path("trace.txt"), name);
  }
  // How many of these calls returned a handle.
  size_t Opened(const std::string& name) {
    size_t n = 0;
    for (const auto& line : Calls(name))
      if (line.find(" -> null ") == std::string::npos &&
          line.find(" -> invalid ") == std::string::npos)
        ++n;
    return n;
  }
  // The flags of the one InternetOpenUrlW call.
  std::string OpenFlags() {
    auto calls = Calls("InternetOpenUrlW");
    if (calls.size() != 1) return "calls: " + std::to_string(calls.size());
    std::istringstream words(calls[0]);
    std::string w;
    for (int i = 0; i < 6 && words >> w;) ++i;  // name, handle, url, headers, length, flags
    return w;
  }

  std::string Url(const std::string& listener, const std::string& path) {
    return server_->Url(listener, path);
  }

  static std::string served_;
  static std::string body_;
  static std::unique_ptr<LoopbackServer> server_;
  std::vector<std::string> boxes_;
};

std::string DownloadTest::served_;
std::string DownloadTest::body_;
std::unique_ptr<LoopbackServer> DownloadTest::server_;

TEST_F(DownloadTest, StoresTheBodyByteForByte) {
  struct Case {
    std::string listener, query;
    const char* range;  // the announced length as the bar's range
  } cases[] = {
      {"http", "", "150001"},
      {"http", "?length=none", "0"},
      {"http", "?chunked=1", "0"},
      {"https", "", "150001"},
      {"https", "?chunked=1", "0"},
      // Certificates that the secure flags accept.
      {"https_expired", "", "150001"},
      {"https_wrongname", "", "150001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listener + c.query);
    WriteHostFile(kTarget, kOld);
    ASSERT_TRUE(Download(Url(c.listener, "/files/ee.bin" + c.query)));
    EXPECT_TRUE(boxes_.empty()) << boxes_[0];
    EXPECT_TRUE(ReadHostFile(kTarget) == body_);
    EXPECT_FALSE(Exists(kTemporary));
    EXPECT_EQ(OpenFlags(), c.listener == "http" ? "0x84000112" : "0x84c0f112");

    // The bar: 0..1 and shown, then 0..announced, a position per chunk, hidden.
    auto sends = Calls("SendMessageW");
    ASSERT_GE(sends.size(), 5u);
    EXPECT_EQ(sends[0].rfind("SendMessageW 0x7770 0x406 0 1 ", 0), 0u) << sends[0];
    EXPECT_EQ(sends[1].rfind("SendMessageW 0x7770 0x402 0 0 ", 0), 0u) << sends[1];
    EXPECT_EQ(sends[2].rfind(std::string("SendMessageW 0x7770 0x406 0 ") + c.range + " ", 0), 0u)
        << sends[2];
    EXPECT_EQ(sends.back().rfind("SendMessageW 0x7770 0x402 150001 0 ", 0), 0u) << sends.back();
    size_t chunks = 0;
    for (const auto& read : Calls("InternetReadFile"))
      if (read.find(" read=0 ") == std::string::npos) ++chunks;
    EXPECT_EQ(sends.size(), 4u + chunks);
    auto shows = Calls("ShowWindow");
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_EQ(shows[0].rfind("ShowWindow 0x7770 5 ", 0), 0u);
    EXPECT_EQ(shows[1].rfind("ShowWindow 0x7770 0 ", 0), 0u);
  }
}

TEST_F(DownloadTest, WorksWithoutABar) {
  ASSERT_TRUE(Download(Url("http", "/files/ee.bin"), false));
  EXPECT_TRUE(ReadHostFile(kTarget) == body_);
  EXPECT_TRUE(Calls("SendMessageW").empty());
  EXPECT_TRUE(Calls("ShowWindow").empty());
}

// An existing target is replaced in one step by the handheld's
// DeleteAndRenameFile; a missing one is made by MoveFile. Each failing in
// turn leaves the old file whole (or none) and shows one box.
TEST_F(DownloadTest, ReplacesTheTarget) {
  const std::string replace =
      "DeleteAndRenameFile \"\\windows\\ZUZIdarudaZozo.ee\" \"\\windows\\tmp\" ";
  const std::string move = "MoveFileW \"\\windows\\tmp\" \"\\windows\\ZUZIdarudaZozo.ee\" ";
  struct Case {
    const char* name;
    bool target_exists;
    std::string faults;
    std::string call;  // the trace line's start of the one replacing call
    const char* box;   // null: success
  } cases[] = {
      {"over the old file", true, "", replace, nullptr},
      {"where there is none", false, "", move, nullptr},
      {"over the old file, failing", true, "DeleteAndRenameFile=5", replace,
       "box: Skylode | Error 5 MoveFile \\\\windows\\\\ZUZIdarudaZozo.ee | OK"},
      {"where there is none, failing", false, "MoveFileW=112", move,
       "box: Skylode | Error 112 MoveFile \\\\windows\\\\ZUZIdarudaZozo.ee | OK"},
      // MoveFile never takes an existing name: the old file stays.
      {"the old file unseen", true, "GetFileAttributesW=5", move,
       "box: Skylode | Error 183 MoveFile \\\\windows\\\\ZUZIdarudaZozo.ee | OK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Path(kTarget));
    if (c.target_exists) WriteHostFile(kTarget, kOld);
    emu::SetFaults(c.faults);
    bool ok = Download(Url("http", "/files/ee.bin"));
    emu::SetFaults("");
    EXPECT_EQ(ok, c.box == nullptr);
    auto replacing = Calls("DeleteAndRenameFile");
    auto moving = Calls("MoveFileW");
    ASSERT_EQ(replacing.size() + moving.size(), 1u);
    std::string line = replacing.empty() ? moving[0] : replacing[0];
    EXPECT_EQ(line.rfind(c.call, 0), 0u) << line;
    EXPECT_EQ(Calls("DeleteFileW").size(), 1u);  // the old temporary file only
    if (c.box) {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0], c.box);
      EXPECT_EQ(Exists(kTarget), c.target_exists);
      if (c.target_exists) {
        EXPECT_EQ(ReadHostFile(kTarget), kOld);
      }
      EXPECT_TRUE(ReadHostFile(kTemporary) == body_);  // kept until the next download
    } else {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_TRUE(ReadHostFile(kTarget) == body_);
      EXPECT_FALSE(Exists(kTemporary));
    }
  }
}

TEST_F(DownloadTest, CapitalSchemeGetsThePlainFlags) {
  std::string address = Url("https", "/files/ee.bin");
  address.replace(0, 5, "HTTPS");
  ASSERT_TRUE(Download(address));
  EXPECT_EQ(OpenFlags(), "0x84000112");
  EXPECT_TRUE(ReadHostFile(kTarget) == body_);
  // Without the secure flags, an expired certificate is refused.
  address = Url("https_expired", "/files/ee.bin");
  address.replace(0, 5, "HTTPS");
  EXPECT_FALSE(Download(address));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].rfind("box: Skylode | Error 12037 InternetOpenUrl, ", 0), 0u) << boxes_[0];
}

TEST_F(DownloadTest, FailuresLeaveTheTargetAndShowOneBox) {
  std::string closed;
  {
    LoopbackServer gone;  // its port is closed once it has stopped
    closed = gone.Url("http", "/files/ee.bin");
  }
  struct Case {
    std::string name, url, faults;
    std::string text;  // the box's text, or its start when `prefix`
    bool prefix;
    bool temporary;  // the temporary file is left behind
  } cases[] = {
      {"cannot connect", closed, "", "Error 12029 InternetOpenUrl, ", true, false},
      {"unknown host", "http://nosuch.invalid/ee.bin", "",
       "Error 12007 InternetOpenUrl, Could not resolve host: nosuch.invalid", false, false},
      {"unknown CA", Url("https_unknownca", "/files/ee.bin"), "", "Error 12045 InternetOpenUrl, ",
       true, false},
      {"to https", Url("http", "/r?redirect=" + Url("https", "/files/ee.bin")), "",
       "Error 12039 InternetOpenUrl, Redirected from http to https", false, false},
      {"no answer", Url("http", "/x?stall_headers=1"), "", "Error 12002 InternetOpenUrl, ", true,
       false},
      {"offline", Url("http", "/files/ee.bin"), "",
       "Error 12029 InternetOpenUrl, The handheld's network is offline", false, false},
      // An error page never becomes the file.
      {"not found", Url("http", "/files/missing.bin"), "", "HTTP status 404 Not Found", false,
       false},
      {"no reason", Url("http", "/files/ee.bin?status=500&reason="), "", "HTTP status 500", false,
       false},
      // The server's words stay inside the box's one line.
      {"control characters",
       Url("http", "/files/ee.bin?status=500&reason=Bad%0Dbox:%20x%09y%5Cz%1B"), "",
       R"(HTTP status 500 Bad\rbox: x\ty\\z\x1b)", false, false},
      // The connection breaks: the transfer is a failure.
      {"cut", Url("http", "/files/ee.bin?cut=70000"), "", "Error 12030 InternetReadFile", false,
       true},
      {"cut chunked", Url("https", "/files/ee.bin?chunked=1&cut=70000"), "",
       "Error 12030 InternetReadFile", false, true},
      {"reset", Url("http", "/files/ee.bin?reset=70000"), "", "Error 12031 InternetReadFile", false,
       true},
      {"stall", Url("http", "/files/ee.bin?stall=70000"), "", "Error 12002 InternetReadFile", false,
       true},
      {"conflicting lengths", Url("http", "/files/ee.bin?announce=150001&announce=150000"), "",
       "Error 12152 InternetOpenUrl, The server sent conflicting Content-Length headers", false,
       false},
      {"short of the announced length", Url("http", "/files/ee.bin?chunked=1&announce=200000"), "",
       "Incomplete download: 150001 of 200000 bytes", false, true},
      // The platform's own failures.
      {"internet open", Url("http", "/files/ee.bin"), "InternetOpenW=8", "Error 8 InternetOpen",
       false, false},
      {"create", Url("http", "/files/ee.bin"), "CreateFileW=5",
       R"(Error 5 CreateFile \\windows\\tmp)", false, false},
      {"one write", Url("http", "/files/ee.bin"), "WriteFile#3=112",
       R"(Error 112 WriteFile \\windows\\tmp)", false, true},
      {"last write names the code", Url("http", "/files/ee.bin"), "WriteFile#3=112,WriteFile#9=29",
       R"(Error 29 WriteFile \\windows\\tmp)", false, true},
      {"replace", Url("http", "/files/ee.bin"), "DeleteAndRenameFile=5",
       R"(Error 5 MoveFile \\windows\\ZUZIdarudaZozo.ee)", false, true},
      // A server cannot make the handheld store more than the bound.
      {"announced too large", Url("http", "/bytes/1048577"), "",
       "Download too large: more than 1048576 bytes", false, false},
      {"too large, unannounced", Url("http", "/bytes/1048577?chunked=1"), "",
       "Download too large: more than 1048576 bytes", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteHostFile(kTarget, kOld);
    WriteHostFile(kTemporary, "left over");
    if (c.name == "offline") WriteHostFile("offline", "");
    emu::SetFaults(c.faults);
    EXPECT_FALSE(Download(c.url));
    emu::SetFaults("");
    std::filesystem::remove(Path("offline"));

    EXPECT_EQ(ReadHostFile(kTarget), kOld);
    ASSERT_EQ(boxes_.size(), 1u);
    std::string expected = "box: Skylode | " + c.text;
    if (c.prefix) {
      EXPECT_EQ(boxes_[0].rfind(expected, 0), 0u) << boxes_[0];
      EXPECT_GT(boxes_[0].size(), expected.size() + 5) << "the client's words are missing";
    } else {
      EXPECT_EQ(boxes_[0], expected + " | OK");
    }
    // The leftover went first; a new temporary file stays after a failure.
    EXPECT_EQ(Exists(kTemporary), c.temporary);
    if (c.temporary) {
      EXPECT_NE(ReadHostFile(kTemporary), "left over");
      EXPECT_LE(ReadHostFile(kTemporary).size(), 1048576u);
    }
    // Every handle is closed: file, request, session.
    EXPECT_EQ(Calls("InternetCloseHandle").size(),
              Opened("InternetOpenW") + Opened("InternetOpenUrlW"));
    EXPECT_EQ(Calls("CloseHandle").size(), Opened("CreateFileW"));
    EXPECT_EQ(Calls("ShowWindow").size(), 2u);
  }
}

// The bound: a body of exactly 1 MiB is stored; past it nothing more is
// written, and an announced length past it is refused before any read. A read
// may return less than the program's 1024-byte buffer, so the temporary file
// stops within one buffer below the bound.
TEST_F(DownloadTest, StoresNothingPastTheBound) {
  const std::string too_large = "box: Skylode | Download too large: more than 1048576 bytes | OK";
  struct Case {
    std::string path;
    const char* box;      // null: success
    long long temporary;  // the temporary file's largest size afterwards; -1: none
    bool reads;           // the body was read at all
  } cases[] = {
      {"/bytes/1048576", nullptr, -1, true},
      {"/bytes/1048576?chunked=1", nullptr, -1, true},
      {"/bytes/1048577", too_large.c_str(), -1, false},
      {"/bytes/5000000?length=none", too_large.c_str(), 1048576, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    WriteHostFile(kTarget, kOld);
    bool ok = Download(Url("http", c.path));
    EXPECT_EQ(ok, c.box == nullptr);
    if (c.box) {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0], c.box);
      EXPECT_EQ(ReadHostFile(kTarget), kOld);
    } else {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_EQ(ReadHostFile(kTarget).size(), 1048576u);
    }
    EXPECT_EQ(Exists(kTemporary), c.temporary >= 0);
    if (c.temporary >= 0) {
      auto size = static_cast<long long>(ReadHostFile(kTemporary).size());
      EXPECT_LE(size, c.temporary);
      EXPECT_GT(size, c.temporary - 1024);
    }
    EXPECT_EQ(!Calls("InternetReadFile").empty(), c.reads);
  }
}

// A server that trickles keeps every read within the client's wait for data;
// the whole download still ends, with one box and the old file kept. Its
// limit is twenty of the client's waits, at most ten minutes.
TEST_F(DownloadTest, GivesUpOnATricklingServer) {
  // The client's wait cut to 300 ms: the download's limit is 6 s.
  setenv("SKYLODE_HTTP_TIMEOUT_MS", "300", 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download(Url("http", "/bytes/100000?trickle=40")));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "box: Skylode | Download timed out after 6 s | OK");
  EXPECT_EQ(ReadHostFile(kTarget), kOld);
  EXPECT_GE(seconds, 6.0);
  EXPECT_LT(seconds, 12.0);

  // As the handheld comes (a 30 s wait), ten minutes: the emulation's clock
  // runs fast here while the server trickles in real time.
  unsetenv("SKYLODE_HTTP_TIMEOUT_MS");
  emu::UseVirtualClock(true);
  std::atomic<bool> done{false};
  std::thread clock([&] {
    while (!done) {
      emu::AdvanceClock(20000);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  EXPECT_FALSE(Download(Url("http", "/bytes/100000?trickle=20")));
  done = true;
  clock.join();
  emu::UseVirtualClock(false);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "box: Skylode | Download timed out after 600 s | OK");
  EXPECT_EQ(ReadHostFile(kTarget), kOld);
}

// Memory running out while the failure's text is made, and again in the
// catch-all, still closes every handle and shows the one report; the next
// download is not blocked by a leftover open file.
TEST_F(DownloadTest, ExhaustedMemoryInTheErrorPathClosesEverything) {
  // Find which heap allocation builds the write failure's text.
  emu::SetFaults("WriteFile#1=31");
  ASSERT_FALSE(Download(Url("http", "/files/ee.bin")));
  std::istringstream trace(ReadTrace(Path("trace.txt")));
  int allocations = 0;
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("WriteFile ", 0) == 0) break;
    if (line.rfind("HeapAlloc ", 0) == 0) ++allocations;
  }
  std::string text = std::to_string(allocations + 1), again = std::to_string(allocations + 2);
  emu::SetFaults("WriteFile#1=31,HeapAlloc#" + text + "=8,HeapAlloc#" + again + "=8");
  bool ok = true;
  EXPECT_NO_THROW(ok = Download(Url("http", "/files/ee.bin")));
  emu::SetFaults("");
  EXPECT_FALSE(ok);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "box: Skylode | error reading http file | OK");
  EXPECT_EQ(Calls("InternetCloseHandle").size(),
            Opened("InternetOpenW") + Opened("InternetOpenUrlW"));
  EXPECT_EQ(Calls("CloseHandle").size(), Opened("CreateFileW"));
  EXPECT_EQ(ReadHostFile(kTarget), kOld);

  ASSERT_TRUE(Download(Url("http", "/files/ee.bin")));
  EXPECT_TRUE(ReadHostFile(kTarget) == body_);
}

TEST_F(DownloadTest, CatchAllReportsExhaustedMemory) {
  // Find which heap allocation builds the first error text, then fail it.
  emu::SetFaults("InternetOpenW=8");
  ASSERT_FALSE(Download(Url("http", "/files/ee.bin")));
  std::istringstream trace(ReadTrace(Path("trace.txt")));
  int allocations = 0;
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("InternetOpenW ", 0) == 0) break;
    if (line.rfind("HeapAlloc ", 0) == 0) ++allocations;
  }
  emu::SetFaults("InternetOpenW=8,HeapAlloc#" + std::to_string(allocations + 1) + "=8");
  EXPECT_FALSE(Download(Url("http", "/files/ee.bin")));
  emu::SetFaults("");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "box: Skylode | error reading http file | OK");
  EXPECT_EQ(ReadHostFile(kTarget), kOld);
}
