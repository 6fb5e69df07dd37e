// The connection before an update: three tests, the prompt, the release.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "support/trace_reader.h"
#include "core/api_call.h"
#include "display/script/protocol.h"
#include "net.h"

namespace {

const char kPrompt[] = "box:  | Error connecting to internet. Continue? | YES NO";
const char kFields[] =
    "ConnMgrEstablishConnectionSync cbSize=64 dwParams=0x1 dwFlags=0x3 dwPriority=0x8000 "
    "bExclusive=0 bDisabled=0 guidDestNet=";
const char kRestZero[] =
    " hWnd=null uMsg=0 lParam=0 ulMaxCost=0 ulMinRcvBw=0 ulMaxConnLatency=0 timeout=0xffffffff";
const char kInternet[] = "{436EF144-B4FB-4863-A041-8F905A62C572}";
const char kNoNetwork[] = "{00000000-0000-0000-0000-000000000000}";

}  // namespace

class ConnectionTest : public DeviceTest {
 protected:
  struct Outcome {
    bool result = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::vector<std::string> display;  // the script display's lines
  };

  // Runs EstablishInternetConnection with these faults and prompt answers.
  Outcome Establish(const std::string& faults, const std::string& answers) {
    emu::SetTraceFile(Path("trace.txt"));
    emu::SetFaults(faults);
    std::istringstream in(answers);
    std::ostringstream out;
    emu::UseScriptDisplay(in, out);
    Outcome o;
    o.result = EstablishInternetConnection(NULL, &o.handle);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) o.display.push_back(line);
    return o;
  }

  // Trace lines that start with `name`.
  std::vector<std::string> Calls(const std::string& name) {
    return TracedCalls(Path("trace.txt"), name);
  }

  static std::string HandleText(HANDLE h) { return emu::TraceText(h); }
};

TEST_F(ConnectionTest, ConnectedHandheldAsksNothing) {
  Outcome o = Establish("", "");
  EXPECT_TRUE(o.result);
  EXPECT_TRUE(o.display.empty());
  ASSERT_NE(o.handle, nullptr);
  ASSERT_EQ(Calls("InternetAttemptConnect").size(), 1u);
  EXPECT_EQ(Calls("InternetAttemptConnect")[0].rfind("InternetAttemptConnect 0 -> 0", 0), 0u);
  ASSERT_EQ(Calls("ConnMgrMapURL").size(), 1u);
  EXPECT_NE(Calls("ConnMgrMapURL")[0].find("\"http://www.portal.example/\""), std::string::npos);
  // No index; the network written is the internet.
  EXPECT_NE(Calls("ConnMgrMapURL")[0].find(std::string(" null guid=") + kInternet + " -> 0"),
            std::string::npos)
      << Calls("ConnMgrMapURL")[0];
  ASSERT_EQ(Calls("ConnMgrEstablishConnectionSync").size(), 1u);
  EXPECT_EQ(Calls("ConnMgrEstablishConnectionSync")[0].rfind(
                std::string(kFields) + kInternet + kRestZero + " ", 0),
            0u)
      << Calls("ConnMgrEstablishConnectionSync")[0];

  ReleaseInternetConnection(o.handle);
  std::string h = HandleText(o.handle);
  ASSERT_EQ(Calls("ConnMgrReleaseConnection").size(), 1u);
  EXPECT_EQ(
      Calls("ConnMgrReleaseConnection")[0].rfind("ConnMgrReleaseConnection " + h + " 1 -> 0", 0),
      0u);
  ASSERT_EQ(Calls("CloseHandle").size(), 1u);
  EXPECT_EQ(Calls("CloseHandle")[0].rfind("CloseHandle " + h + " -> 1", 0), 0u);
}

TEST_F(ConnectionTest, NoAtAPromptStopsThere) {
  struct Case {
    const char* name;
    std::string faults;
    size_t maps, requests;  // calls made before the No
    bool releases;
    std::string released;  // the handle released, when it releases
  } cases[] = {
      {"internet test", "InternetAttemptConnect=12029", 0, 0, false, ""},
      {"mapping", "ConnMgrMapURL=0x80004005", 1, 0, false, ""},
      {"request fails", "ConnMgrEstablishConnectionSync=0x80004005", 1, 1, true, "null"},
      {"request not connected", "ConnMgrStatus=0x20", 1, 1, true, "handle"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Path("trace.txt"));
    Outcome o = Establish(c.faults, "no\n");
    EXPECT_FALSE(o.result);
    EXPECT_EQ(o.handle, nullptr);
    EXPECT_EQ(o.display, (std::vector<std::string>{kPrompt, "answer: no"}));
    EXPECT_EQ(Calls("MessageBoxW").size(), 1u);
    EXPECT_EQ(Calls("ConnMgrMapURL").size(), c.maps);
    EXPECT_EQ(Calls("ConnMgrEstablishConnectionSync").size(), c.requests);
    auto releases = Calls("ConnMgrReleaseConnection");
    auto closes = Calls("CloseHandle");
    EXPECT_EQ(releases.size(), c.releases ? 1u : 0u);
    EXPECT_EQ(closes.size(), c.releases ? 1u : 0u);
    if (c.releases && !releases.empty() && !closes.empty()) {
      if (c.released == "null") {
        EXPECT_EQ(releases[0].rfind("ConnMgrReleaseConnection null 1 ", 0), 0u) << releases[0];
        EXPECT_EQ(closes[0].rfind("CloseHandle null ", 0), 0u) << closes[0];
      } else {
        // The not-connected request's own handle, released and closed.
        auto request = Calls("ConnMgrEstablishConnectionSync")[0];
        std::string handle = request.substr(request.find("handle=") + 7);
        handle = handle.substr(0, handle.find(' '));
        EXPECT_NE(handle, "null");
        EXPECT_EQ(releases[0].rfind("ConnMgrReleaseConnection " + handle + " 1 -> 0", 0), 0u)
            << releases[0];
        EXPECT_EQ(closes[0].rfind("CloseHandle " + handle + " -> 1", 0), 0u) << closes[0];
      }
    }
  }
}

TEST_F(ConnectionTest, YesAtEveryPromptGoesOnWithTheRequestsHandle) {
  Outcome o = Establish(
      "InternetAttemptConnect=12029,ConnMgrMapURL=0x80004005,"
      "ConnMgrEstablishConnectionSync=0x80004005",
      "yes\nyes\nyes\n");
  EXPECT_TRUE(o.result);
  EXPECT_EQ(o.handle, nullptr);
  EXPECT_EQ(o.display, (std::vector<std::string>{kPrompt, "answer: yes", kPrompt, "answer: yes",
                                                 kPrompt, "answer: yes"}));
  // The failed mapping wrote nothing: the request names no network.
  ASSERT_EQ(Calls("ConnMgrEstablishConnectionSync").size(), 1u);
  EXPECT_EQ(Calls("ConnMgrEstablishConnectionSync")[0].rfind(
                std::string(kFields) + kNoNetwork + kRestZero + " ", 0),
            0u);
  EXPECT_TRUE(Calls("ConnMgrReleaseConnection").empty());

  // The update's end releases the null handle as it is.
  ReleaseInternetConnection(o.handle);
  ASSERT_EQ(Calls("ConnMgrReleaseConnection").size(), 1u);
  EXPECT_EQ(Calls("ConnMgrReleaseConnection")[0].rfind("ConnMgrReleaseConnection null 1 ", 0), 0u);
  ASSERT_EQ(Calls("CloseHandle").size(), 1u);
  EXPECT_EQ(Calls("CloseHandle")[0].rfind("CloseHandle null ", 0), 0u);
}

TEST_F(ConnectionTest, NotConnectedRequestAnsweredYesKeepsItsHandle) {
  Outcome o = Establish("ConnMgrStatus=0x20", "yes\n");
  EXPECT_TRUE(o.result);
  EXPECT_NE(o.handle, nullptr);
  EXPECT_EQ(o.display, (std::vector<std::string>{kPrompt, "answer: yes"}));
  ReleaseInternetConnection(o.handle);
  ASSERT_EQ(Calls("ConnMgrReleaseConnection").size(), 1u);
  EXPECT_EQ(Calls("ConnMgrReleaseConnection")[0].rfind(
                "ConnMgrReleaseConnection " + HandleText(o.handle) + " 1 -> 0", 0),
            0u);
}

TEST_F(ConnectionTest, OfflineHandheldWithUnansweredBoxesGoesOn) {
  // A box that cannot be shown counts as Yes.
  WriteHostFile("offline", "");
  Outcome o = Establish("", "");
  EXPECT_TRUE(o.result);
  EXPECT_EQ(o.handle, nullptr);
  EXPECT_EQ(o.display, (std::vector<std::string>{kPrompt, "answer: none", kPrompt, "answer: none",
                                                 kPrompt, "answer: none"}));
}
