// One HTTP GET over libcurl, pulled by the caller: Open returns once the
// final response's status and headers are in, Read hands out the body in the
// caller's pieces. The body is never held whole: libcurl's transfer is
// paused while the one receive buffer still holds data.
#pragma once

#include <curl/curl.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "inet/tls.h"

namespace emu {

struct HttpRequest {
  std::string url;
  std::string agent;
  std::vector<std::string> headers;  // "Name: value"
  DWORD flags = 0;                   // INTERNET_FLAG_*
};

struct HttpResponse {
  std::string version;  // "HTTP/1.1"
  long status = 0;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;
};

class HttpTransfer {
 public:
  HttpTransfer();
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // Sends the request and follows redirects. 0, or an internet error code
  // with message() saying what went wrong.
  DWORD Open(const HttpRequest& request);
  // Up to `size` bytes of the body into `buffer`; *got is 0 at its end.
  // 0, or an internet error code when the connection broke or stalled.
  DWORD Read(void* buffer, size_t size, size_t* got);

  const HttpResponse& response() const { return response_; }
  const std::string& message() const { return message_; }

  // For tests and fuzzers: takes a block of header lines (status line
  // included) as if the server had sent them, without a connection.
  void TakeHeaders(const std::string& block);

 private:
  DWORD StartHop(const std::string& url, const HttpRequest& request);
  void EndHop();
  // Runs the transfer until `ready()` holds or it ends; 0 or an error code.
  template <class Ready>
  DWORD Drive(Ready ready);
  DWORD Failed(DWORD code, const std::string& message);
  DWORD FinishedWithError();

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnConnected(void* self, char*, char*, int, int);

  CURLM* multi_;
  CURL* easy_ = nullptr;
  curl_slist* header_list_ = nullptr;
  char error_text_[CURL_ERROR_SIZE];

  HttpResponse response_;
  bool headers_done_ = false;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
  bool paused_ = false;
  bool connected_ = false;

  std::vector<char> buffer_;  // one piece of the body as libcurl handed it
  size_t buffer_pos_ = 0;

  int64_t hop_start_ms_ = 0;
  int64_t last_data_ms_ = 0;
  int64_t connect_ms_ = 0;
  int64_t receive_ms_ = 0;
  std::string message_;
  TlsPolicy tls_;
};

}  // namespace emu
