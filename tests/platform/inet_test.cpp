// The HTTP client of the emulated handheld against the loopback server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <wininet.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/device_fixture.h"
#include "support/loopback_server.h"
#include "core/wide.h"

namespace {

constexpr DWORD kPlainFlags = 0x84000112;   // what the program passes for http
constexpr DWORD kSecureFlags = 0x84C0F112;  // and for https

// Byte i of the server's /bytes/N bodies.
std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

// A port nothing listens on (just freed by the kernel).
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

struct InternetHandle {
  HINTERNET h = nullptr;
  ~InternetHandle() {
    if (h) InternetCloseHandle(h);
  }
};

struct ReadResult {
  std::string body;
  BOOL ok = TRUE;
  DWORD error = 0;
};

ReadResult ReadAll(HINTERNET request, DWORD chunk = 1024) {
  ReadResult r;
  std::string buffer(chunk, '\0');
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, buffer.data(), chunk, &got)) {
      r.ok = FALSE;
      r.error = GetLastError();
      return r;
    }
    if (got == 0) return r;
    r.body.append(buffer.data(), got);
  }
}

std::u16string QueryText(HINTERNET request, DWORD level) {
  WCHAR buffer[512] = {};
  DWORD length = sizeof buffer;
  if (!HttpQueryInfoW(request, level, buffer, &length, nullptr))
    return u"<error " + emu::FromUtf8(std::to_string(GetLastError())) + u">";
  return std::u16string(buffer, length / sizeof(WCHAR));
}

}  // namespace

class WininetTest : public DeviceTest {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<LoopbackServer>(); }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_TRUE(server_->ok()) << "the loopback server did not start";
    server_->InstallCa(dir_);
    setenv("SKYLODE_HTTP_TIMEOUT_MS", "1500", 1);
    session_.h =
        InternetOpenW(u"Skylode test agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session_.h, nullptr);
  }
  void TearDown() override {
    unsetenv("SKYLODE_HTTP_TIMEOUT_MS");
    DeviceTest::TearDown();
  }

  // Opens the URL; null with the last error kept on failure.
  HINTERNET Open(const std::string& url, DWORD flags = kPlainFlags) {
    return InternetOpenUrlW(session_.h, emu::FromUtf8(url).c_str(), nullptr, 0, flags, 0);
  }
  std::string Url(const std::string& listener, const std::string& path) {
    return server_->Url(listener, path);
  }

  static std::unique_ptr<LoopbackServer> server_;
  InternetHandle session_;
};

std::unique_ptr<LoopbackServer> WininetTest::server_;

TEST_F(WininetTest, DeliversTheBodyWhateverTheFraming) {
  struct Case {
    const char* query;
    bool has_length;
  } cases[] = {{"", true}, {"?length=none", false}, {"?chunked=1", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    for (const char* listener : {"http", "https"}) {
      SCOPED_TRACE(listener);
      InternetHandle request{Open(Url(listener, std::string("/bytes/100000") + c.query),
                                  std::string(listener) == "https" ? kSecureFlags : kPlainFlags)};
      ASSERT_NE(request.h, nullptr) << GetLastError();
      EXPECT_EQ(QueryText(request.h, HTTP_QUERY_STATUS_CODE), u"200");
      EXPECT_EQ(QueryText(request.h, HTTP_QUERY_CONTENT_LENGTH),
                c.has_length ? u"100000" : u"<error 12150>");
      // An odd chunk size, so pieces never line up with the server's blocks.
      ReadResult r = ReadAll(request.h, 1000);
      EXPECT_TRUE(r.ok) << r.error;
      EXPECT_TRUE(r.body == Pattern(100000));
      // The end stays the end.
      char byte;
      DWORD got = 7;
      EXPECT_TRUE(InternetReadFile(request.h, &byte, 1, &got));
      EXPECT_EQ(got, 0u);
    }
  }
}

TEST_F(WininetTest, SendsOnlyTheAgentAndThePragmaOfItsOwn) {
  for (DWORD flags : {kPlainFlags, kPlainFlags & ~INTERNET_FLAG_PRAGMA_NOCACHE}) {
    InternetHandle request{Open(Url("http", "/echo"), flags)};
    ASSERT_NE(request.h, nullptr) << GetLastError();
    std::string expected =
        "GET /echo HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server_->Port("http")) +
        "\r\nUser-Agent: Skylode test agent\r\n";
    if (flags & INTERNET_FLAG_PRAGMA_NOCACHE) expected += "Pragma: no-cache\r\n";
    EXPECT_EQ(ReadAll(request.h).body, expected);
  }
}

TEST_F(WininetTest, IgnoresTheEnvironmentsProxy) {
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  setenv("HTTPS_PROXY", "http://127.0.0.1:1", 1);
  setenv("ALL_PROXY", "http://127.0.0.1:1", 1);
  InternetHandle plain{Open(Url("http", "/bytes/10"))};
  InternetHandle secure{Open(Url("https", "/bytes/10"), kSecureFlags)};
  unsetenv("http_proxy");
  unsetenv("HTTPS_PROXY");
  unsetenv("ALL_PROXY");
  EXPECT_NE(plain.h, nullptr) << GetLastError();
  EXPECT_NE(secure.h, nullptr) << GetLastError();
}

TEST_F(WininetTest, ErrorStatusOpensAndIsQueried) {
  InternetHandle request{Open(Url("http", "/x?status=503&reason=Service%20Unavailable"))};
  ASSERT_NE(request.h, nullptr) << GetLastError();
  DWORD status = 0, length = sizeof status;
  ASSERT_TRUE(HttpQueryInfoW(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                             &length, nullptr));
  EXPECT_EQ(status, 503u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(QueryText(request.h, HTTP_QUERY_STATUS_TEXT), u"Service Unavailable");
  EXPECT_EQ(ReadAll(request.h).body, "status 503");

  InternetHandle bare{Open(Url("http", "/x?status=404&reason="))};
  ASSERT_NE(bare.h, nullptr);
  EXPECT_EQ(QueryText(bare.h, HTTP_QUERY_STATUS_TEXT), u"");
}

TEST_F(WininetTest, QueryFollowsThePlatformsBufferRules) {
  InternetHandle request{Open(Url("http", "/bytes/12345"))};
  ASSERT_NE(request.h, nullptr);
  WCHAR text[16];
  // Too small: the size needed, in bytes, with the terminator.
  DWORD length = 4;
  EXPECT_FALSE(HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, 12u);
  // Exactly enough: the length written, without the terminator.
  DWORD index = 0;
  EXPECT_TRUE(HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH, text, &length, &index));
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(std::u16string(text), u"12345");
  EXPECT_EQ(index, 1u);
  // There is no second Content-Length.
  EXPECT_FALSE(HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH, text, &length, &index));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));
  // A number needs four bytes.
  DWORD number = 0;
  length = 2;
  EXPECT_FALSE(HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                              &number, &length, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, 4u);
  EXPECT_TRUE(HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number,
                             &length, nullptr));
  EXPECT_EQ(number, 12345u);
  // Not a request handle.
  length = sizeof text;
  EXPECT_FALSE(HttpQueryInfoW(session_.h, HTTP_QUERY_STATUS_CODE, text, &length, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
}

TEST_F(WininetTest, OpenFailsWithThePlatformsCodes) {
  std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
  std::string to_https = Url("https", "/bytes/10");
  std::string to_http = Url("http", "/bytes/10");
  struct Case {
    std::string url;
    DWORD flags;
    DWORD error;  // 0: opens
  } cases[] = {
      {"ftp://127.0.0.1/x", kPlainFlags, ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"no scheme at all", kPlainFlags, ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"http://", kPlainFlags, ERROR_INTERNET_INVALID_URL},
      {"http://[::1/x", kPlainFlags, ERROR_INTERNET_INVALID_URL},
      {"http://nosuch.invalid/x", kPlainFlags, ERROR_INTERNET_NAME_NOT_RESOLVED},
      {closed, kPlainFlags, ERROR_INTERNET_CANNOT_CONNECT},
      {Url("http", "/x?stall_headers=1"), kPlainFlags, ERROR_INTERNET_TIMEOUT},
      {Url("https", "/x?stall_headers=1"), kSecureFlags, ERROR_INTERNET_TIMEOUT},
      // Certificates: each flag lets its own fault pass and nothing else.
      {Url("https", "/bytes/10"), 0, 0},
      {Url("https_expired", "/bytes/10"), 0, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
      {Url("https_expired", "/bytes/10"), INTERNET_FLAG_IGNORE_CERT_CN_INVALID,
       ERROR_INTERNET_SEC_CERT_DATE_INVALID},
      {Url("https_expired", "/bytes/10"), INTERNET_FLAG_IGNORE_CERT_DATE_INVALID, 0},
      {Url("https_wrongname", "/bytes/10"), 0, ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {Url("https_wrongname", "/bytes/10"), INTERNET_FLAG_IGNORE_CERT_DATE_INVALID,
       ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {Url("https_wrongname", "/bytes/10"), INTERNET_FLAG_IGNORE_CERT_CN_INVALID, 0},
      {Url("https_unknownca", "/bytes/10"), kSecureFlags, ERROR_INTERNET_INVALID_CA},
      // Redirects: same scheme always; across schemes only with the flag.
      {Url("http", "/r?redirect=/bytes/10"), kPlainFlags, 0},
      {Url("https", "/r?code=301&redirect=" + to_https), kSecureFlags, 0},
      {Url("http", "/r?redirect=" + to_https), kPlainFlags, ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR},
      {Url("http", "/r?redirect=" + to_https), kPlainFlags | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS,
       0},
      {Url("https", "/r?redirect=" + to_http), kPlainFlags | INTERNET_FLAG_SECURE,
       ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
      {Url("https", "/r?redirect=" + to_http), kSecureFlags, 0},
      {Url("http", "/r?redirect=self"), kPlainFlags, ERROR_HTTP_REDIRECT_FAILED},
      {Url("http", "/r?redirect=ftp://127.0.0.1/x"), kPlainFlags, ERROR_HTTP_REDIRECT_FAILED},
      // Lengths that disagree, in two headers or in one, are a bad reply;
      // the same length twice is one length.
      {Url("http", "/bytes/10?announce=11&announce=10"), kPlainFlags,
       ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {Url("https", "/bytes/10?announce=10&announce=11"), kSecureFlags,
       ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {Url("http", "/bytes/10?announce=10,%2011"), kPlainFlags, ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {Url("http", "/bytes/10?chunked=1&announce=10&announce=11"), kPlainFlags,
       ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {Url("http", "/bytes/10?announce=10&announce=010"), kPlainFlags, 0},
      {Url("http", "/bytes/10?announce=10,%2010"), kPlainFlags, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url + " flags " + std::to_string(c.flags));
    InternetHandle request{Open(c.url, c.flags)};
    if (c.error == 0) {
      ASSERT_NE(request.h, nullptr) << GetLastError();
      EXPECT_EQ(QueryText(request.h, HTTP_QUERY_STATUS_CODE), u"200");
      EXPECT_TRUE(ReadAll(request.h).body == Pattern(10));
      continue;
    }
    EXPECT_EQ(request.h, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    // The client's own words follow the failure.
    DWORD code = 0, length = 256;
    WCHAR text[256];
    ASSERT_TRUE(InternetGetLastResponseInfoW(&code, text, &length));
    EXPECT_GT(length, 0u);
    EXPECT_EQ(code, c.error);
  }
}

TEST_F(WininetTest, ResponseInfoNamesTheUnresolvedHost) {
  EXPECT_EQ(Open("http://nosuch.invalid/x"), nullptr);
  DWORD code = 0, length = 2;
  WCHAR text[256];
  EXPECT_FALSE(InternetGetLastResponseInfoW(&code, text, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  DWORD needed = length;
  length = 256;
  ASSERT_TRUE(InternetGetLastResponseInfoW(&code, text, &length));
  EXPECT_EQ(length + 1, needed);
  std::string words = emu::ToUtf8(text);
  EXPECT_NE(words.find("resolve"), std::string::npos) << words;
  EXPECT_NE(words.find("nosuch.invalid"), std::string::npos) << words;
}

TEST_F(WininetTest, ReadFailsWhenTheConnectionBreaksOrStalls) {
  struct Case {
    const char* query;
    DWORD error;
    bool exact_prefix;  // the bytes before the break all arrive
  } cases[] = {
      {"?cut=5000", ERROR_INTERNET_CONNECTION_ABORTED, true},
      {"?chunked=1&cut=5000", ERROR_INTERNET_CONNECTION_ABORTED, true},
      {"?reset=5000", ERROR_INTERNET_CONNECTION_RESET, false},
      {"?stall=5000", ERROR_INTERNET_TIMEOUT, true},
  };
  for (const auto& c : cases) {
    for (const char* listener : {"http", "https"}) {
      SCOPED_TRACE(std::string(listener) + c.query);
      InternetHandle request{Open(Url(listener, std::string("/bytes/100000") + c.query),
                                  std::string(listener) == "https" ? kSecureFlags : kPlainFlags)};
      ASSERT_NE(request.h, nullptr) << GetLastError();
      ReadResult r = ReadAll(request.h);
      EXPECT_FALSE(r.ok);
      // A TLS peer that resets may also read as an aborted connection.
      if (c.error == ERROR_INTERNET_CONNECTION_RESET && std::string(listener) == "https") {
        EXPECT_TRUE(r.error == ERROR_INTERNET_CONNECTION_RESET ||
                    r.error == ERROR_INTERNET_CONNECTION_ABORTED)
            << r.error;
      } else {
        EXPECT_EQ(r.error, c.error);
      }
      if (c.exact_prefix) {
        EXPECT_TRUE(r.body == Pattern(5000)) << r.body.size();
      }
    }
  }
}

TEST_F(WininetTest, OfflineHandheldCannotConnect) {
  EXPECT_EQ(InternetAttemptConnect(0), static_cast<DWORD>(ERROR_SUCCESS));
  WriteHostFile("offline", "");
  EXPECT_NE(InternetAttemptConnect(0), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Open(Url("http", "/bytes/10")), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  std::filesystem::remove(Path("offline"));
  InternetHandle request{Open(Url("http", "/bytes/10"))};
  EXPECT_NE(request.h, nullptr);
}

TEST_F(WininetTest, LongBodyStreamsInConstantMemory) {
  constexpr size_t kSize = 96u << 20;
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  InternetHandle request{Open(Url("http", "/bytes/" + std::to_string(kSize)))};
  ASSERT_NE(request.h, nullptr);
  char buffer[1024];
  size_t total = 0, mismatches = 0;
  for (;;) {
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(request.h, buffer, sizeof buffer, &got)) << GetLastError();
    if (!got) break;
    for (DWORD i = 0; i < got; i += 97)
      if (static_cast<unsigned char>(buffer[i]) != (total + i) % 251) ++mismatches;
    total += got;
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(total, kSize);
  EXPECT_EQ(mismatches, 0u);
  // The peak grew by far less than the body (ru_maxrss is in KiB). Under
  // AddressSanitizer freed memory stays in quarantine, so the peak says nothing.
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024);
#endif
}

TEST_F(WininetTest, HandlesAreCheckedAndClosedOnce) {
  HINTERNET request = Open(Url("http", "/bytes/10"));
  ASSERT_NE(request, nullptr);
  char buffer[16];
  DWORD got = 0;
  EXPECT_FALSE(InternetReadFile(session_.h, buffer, sizeof buffer, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(InternetCloseHandle(request));
  EXPECT_FALSE(InternetCloseHandle(request));
  EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &got));
}

TEST_F(WininetTest, TimeLimitsFollowTheSetting) {
  auto query = [](HINTERNET h, DWORD option) {
    DWORD value = 0;
    DWORD size = sizeof value;
    return InternetQueryOptionW(h, option, &value, &size) && size == sizeof value ? value : 0u;
  };
  struct Case {
    const char* setting;  // SKYLODE_HTTP_TIMEOUT_MS; null: unset
    DWORD connect, receive;
  } cases[] = {{nullptr, 60000, 30000}, {"1500", 1500, 1500}, {"45000", 45000, 30000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "unset");
    if (c.setting)
      setenv("SKYLODE_HTTP_TIMEOUT_MS", c.setting, 1);
    else
      unsetenv("SKYLODE_HTTP_TIMEOUT_MS");
    for (HINTERNET h : {session_.h, static_cast<HINTERNET>(nullptr)}) {
      EXPECT_EQ(query(h, INTERNET_OPTION_CONNECT_TIMEOUT), c.connect);
      EXPECT_EQ(query(h, INTERNET_OPTION_RECEIVE_TIMEOUT), c.receive);
    }
  }

  // The platform's buffer rules, an option it does not know, a bad handle.
  DWORD value = 0, size = 2;
  EXPECT_FALSE(InternetQueryOptionW(session_.h, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, sizeof(DWORD));
  EXPECT_FALSE(InternetQueryOptionW(session_.h, 9999, &value, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_OPTION));
  HINTERNET bad = reinterpret_cast<HINTERNET>(0x7777);
  EXPECT_FALSE(InternetQueryOptionW(bad, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
