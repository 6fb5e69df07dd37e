#include "inet/transfer.h"

#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>

#include "inet/errors.h"
#include "inet/settings.h"
#include "inet/tls.h"

namespace emu {
namespace {

// Redirects followed before the request counts as failed.
constexpr int kMaxRedirects = 10;
// libcurl's receive buffer, and so the largest piece the body comes in.
constexpr long kReceiveBuffer = 64 * 1024;

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Every Content-Length value of the response (a header may list several,
// comma-separated) is the same: otherwise where the body ends is unknown,
// and HTTP requires the reply to be refused.
bool LengthsAgree(const HttpResponse& response) {
  std::optional<std::string> first;
  for (const auto& [name, value] : response.headers) {
    if (Lower(name) != "content-length") continue;
    size_t pos = 0;
    while (pos <= value.size()) {
      size_t comma = value.find(',', pos);
      if (comma == std::string::npos) comma = value.size();
      std::string one = Trim(value.substr(pos, comma - pos));
      pos = comma + 1;
      // "010" and "10" are one length.
      if (one.find_first_not_of("0123456789") == std::string::npos && one.size() > 1)
        one.erase(0, std::min(one.find_first_not_of('0'), one.size() - 1));
      if (!first) first = one;
      if (one != *first) return false;
    }
  }
  return true;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The URL in libcurl's normal form and its scheme, or an error code.
DWORD NormaliseUrl(const std::string& base, const std::string& url, std::string* out,
                   std::string* scheme) {
  CURLU* u = curl_url();
  if (!u) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD err = ERROR_SUCCESS;
  if (!base.empty() && curl_url_set(u, CURLUPART_URL, base.c_str(), 0) != CURLUE_OK)
    err = ERROR_INTERNET_INVALID_URL;
  if (!err && curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    err = ERROR_INTERNET_INVALID_URL;
  char* text = nullptr;
  if (!err && curl_url_get(u, CURLUPART_SCHEME, &text, 0) == CURLUE_OK) {
    *scheme = Lower(text);
    curl_free(text);
  } else if (!err) {
    err = ERROR_INTERNET_INVALID_URL;
  }
  if (!err && *scheme != "http" && *scheme != "https") err = ERROR_INTERNET_UNRECOGNIZED_SCHEME;
  if (!err && curl_url_get(u, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    *out = text;
    curl_free(text);
  } else if (!err) {
    err = ERROR_INTERNET_INVALID_URL;
  }
  curl_url_cleanup(u);
  return err;
}

// The scheme as written before "://", lower case; empty when there is none.
std::string WrittenScheme(const std::string& url) {
  size_t sep = url.find("://");
  if (sep == std::string::npos || sep == 0) return "";
  std::string scheme = url.substr(0, sep);
  for (char c : scheme)
    if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return "";
  return Lower(scheme);
}

// The host part of a normalised URL, without IPv6 brackets.
std::string HostOf(const std::string& url) {
  std::string host;
  CURLU* u = curl_url();
  char* text = nullptr;
  if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_HOST, &text, 0) == CURLUE_OK) {
    host = text;
    curl_free(text);
  }
  curl_url_cleanup(u);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return host;
}

}  // namespace

HttpTransfer::HttpTransfer() {
  GlobalInit();
  multi_ = curl_multi_init();
  error_text_[0] = '\0';
  buffer_.reserve(kReceiveBuffer);
}

HttpTransfer::~HttpTransfer() {
  EndHop();
  if (multi_) curl_multi_cleanup(multi_);
}

DWORD HttpTransfer::Failed(DWORD code, const std::string& message) {
  message_ = message;
  return code;
}

DWORD HttpTransfer::FinishedWithError() {
  DWORD code = InternetErrorFromCurl(result_, easy_);
  std::string text = error_text_[0] ? error_text_ : curl_easy_strerror(result_);
  return Failed(code, text);
}

void HttpTransfer::EndHop() {
  if (easy_) {
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
  }
  if (header_list_) {
    curl_slist_free_all(header_list_);
    header_list_ = nullptr;
  }
  response_ = HttpResponse{};
  headers_done_ = finished_ = paused_ = connected_ = false;
  result_ = CURLE_OK;
  buffer_.clear();
  buffer_pos_ = 0;
  error_text_[0] = '\0';
}

DWORD HttpTransfer::StartHop(const std::string& url, const HttpRequest& request) {
  EndHop();
  if (!multi_ || !(easy_ = curl_easy_init()))
    return Failed(ERROR_NOT_ENOUGH_MEMORY, "Out of memory");
  CURL* e = easy_;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, error_text_);
  // Direct: no proxy, whatever the environment says.
  curl_easy_setopt(e, CURLOPT_PROXY, "");
  curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
  // Redirects are followed here, so that the scheme rules can be applied.
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_USERAGENT, request.agent.c_str());
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect_ms_));

  // No header of our own beyond the agent and the no-cache pragma.
  header_list_ = curl_slist_append(header_list_, "Accept:");
  if (request.flags & INTERNET_FLAG_PRAGMA_NOCACHE)
    header_list_ = curl_slist_append(header_list_, "Pragma: no-cache");
  for (const auto& h : request.headers) header_list_ = curl_slist_append(header_list_, h.c_str());
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list_);

  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, OnConnected);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, this);
  tls_.flags = request.flags;
  tls_.host = HostOf(url);
  ApplyTlsOptions(e, &tls_);

  hop_start_ms_ = last_data_ms_ = SteadyMs();
  if (curl_multi_add_handle(multi_, e) != CURLM_OK)
    return Failed(ERROR_INTERNET_INTERNAL_ERROR, "The request could not be started");
  return ERROR_SUCCESS;
}

template <class Ready>
DWORD HttpTransfer::Drive(Ready ready) {
  // The receive limit counts time spent waiting here, not the caller's.
  last_data_ms_ = SteadyMs();
  for (;;) {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
        finished_ = true;
        result_ = msg->data.result;
      }
    }
    if (ready() || finished_) return ERROR_SUCCESS;
    if (paused_) return ERROR_SUCCESS;  // the caller has data to take first

    int64_t now = SteadyMs();
    if (connected_ && now - last_data_ms_ >= receive_ms_)
      return Failed(ERROR_INTERNET_TIMEOUT,
                    "No data received for " + std::to_string(receive_ms_) + " ms");
    // libcurl enforces the connect limit itself; this only backs it up.
    if (!connected_ && now - hop_start_ms_ >= connect_ms_ + 1000)
      return Failed(ERROR_INTERNET_TIMEOUT,
                    "Connection timed out after " + std::to_string(connect_ms_) + " ms");
    curl_multi_poll(multi_, nullptr, 0, 100, nullptr);
  }
}

DWORD HttpTransfer::Open(const HttpRequest& request) {
  HttpTimeouts limits = GetHttpTimeouts();
  connect_ms_ = limits.connect_ms;
  receive_ms_ = limits.receive_ms;

  if (WrittenScheme(request.url).empty())
    return Failed(ERROR_INTERNET_UNRECOGNIZED_SCHEME, "The address has no scheme");
  std::string url, scheme;
  if (DWORD err = NormaliseUrl("", request.url, &url, &scheme)) {
    return Failed(err, err == ERROR_INTERNET_UNRECOGNIZED_SCHEME
                           ? "Unsupported scheme \"" + WrittenScheme(request.url) + "\""
                           : "The address is not a valid URL");
  }
  for (int redirects = 0;; ++redirects) {
    if (DWORD err = StartHop(url, request)) return err;
    if (DWORD err = Drive([this] { return headers_done_; })) return err;
    if (!headers_done_) {
      if (result_ != CURLE_OK) return FinishedWithError();
      return Failed(ERROR_HTTP_INVALID_SERVER_RESPONSE, "The server sent no response");
    }
    if (!LengthsAgree(response_))
      return Failed(ERROR_HTTP_INVALID_SERVER_RESPONSE,
                    "The server sent conflicting Content-Length headers");
    if (!IsRedirect(response_.status) || (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT))
      return ERROR_SUCCESS;
    std::string location;
    for (const auto& [name, value] : response_.headers)
      if (Lower(name) == "location") location = value;
    if (location.empty()) return ERROR_SUCCESS;

    if (redirects >= kMaxRedirects) return Failed(ERROR_HTTP_REDIRECT_FAILED, "Too many redirects");
    std::string next, next_scheme;
    if (NormaliseUrl(url, location, &next, &next_scheme))
      return Failed(ERROR_HTTP_REDIRECT_FAILED, "Redirected to an unusable address: " + location);
    if (scheme == "http" && next_scheme == "https" &&
        !(request.flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS))
      return Failed(ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR, "Redirected from http to https");
    if (scheme == "https" && next_scheme == "http" &&
        !(request.flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP))
      return Failed(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, "Redirected from https to http");
    url = next;
    scheme = next_scheme;
  }
}

DWORD HttpTransfer::Read(void* out, size_t size, size_t* got) {
  *got = 0;
  if (!easy_) return Failed(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "No request is open");
  for (;;) {
    if (buffer_pos_ < buffer_.size()) {
      size_t n = std::min(size, buffer_.size() - buffer_pos_);
      memcpy(out, buffer_.data() + buffer_pos_, n);
      buffer_pos_ += n;
      *got = n;
      return ERROR_SUCCESS;
    }
    if (size == 0) return ERROR_SUCCESS;
    if (paused_) {
      // The buffer is empty: let libcurl hand over what it held back.
      paused_ = false;
      curl_easy_pause(easy_, CURLPAUSE_CONT);
      continue;
    }
    if (finished_) return result_ == CURLE_OK ? ERROR_SUCCESS : FinishedWithError();
    if (DWORD err = Drive([this] { return buffer_pos_ < buffer_.size(); })) return err;
  }
}

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* self_ptr) {
  auto* self = static_cast<HttpTransfer*>(self_ptr);
  size_t n = size * count;
  std::string line(data, n);
  self->last_data_ms_ = SteadyMs();
  if (line.rfind("HTTP/", 0) == 0) {
    // A new response (a 1xx one may come first): start over.
    self->response_ = HttpResponse{};
    self->headers_done_ = false;
    std::string status_line = Trim(line);
    size_t sp1 = status_line.find(' ');
    self->response_.version = status_line.substr(0, sp1);
    if (sp1 != std::string::npos) {
      self->response_.status = strtol(status_line.c_str() + sp1 + 1, nullptr, 10);
      size_t sp2 = status_line.find(' ', sp1 + 1);
      if (sp2 != std::string::npos) self->response_.reason = Trim(status_line.substr(sp2 + 1));
    }
  } else if (Trim(line).empty()) {
    if (self->response_.status >= 200) self->headers_done_ = true;
  } else if (size_t colon = line.find(':'); colon != std::string::npos) {
    self->response_.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  }
  return n;
}

void HttpTransfer::TakeHeaders(const std::string& block) {
  // libcurl hands over a line at a time, its line end included.
  for (size_t pos = 0; pos < block.size();) {
    size_t end = block.find('\n', pos);
    end = end == std::string::npos ? block.size() : end + 1;
    std::string line = block.substr(pos, end - pos);
    OnHeader(line.data(), 1, line.size(), this);
    pos = end;
  }
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* self_ptr) {
  auto* self = static_cast<HttpTransfer*>(self_ptr);
  size_t n = size * count;
  if (self->buffer_pos_ < self->buffer_.size()) {
    self->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  self->buffer_.assign(data, data + n);
  self->buffer_pos_ = 0;
  self->last_data_ms_ = SteadyMs();
  return n;
}

int HttpTransfer::OnConnected(void* self_ptr, char*, char*, int, int) {
  auto* self = static_cast<HttpTransfer*>(self_ptr);
  self->connected_ = true;
  self->last_data_ms_ = SteadyMs();
  return CURL_PREREQFUNC_OK;
}

}  // namespace emu
