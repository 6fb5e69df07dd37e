// The platform's HTTP client calls over libcurl (see http_transfer.h).
#include <wininet.h>

#include <cstring>
#include <string>

#include "core/api_call.h"
#include "core/device.h"
#include "inet/settings.h"
#include "core/wide.h"
#include "inet/handles.h"

namespace {

// What InternetGetLastResponseInfoW tells: the last failure of this thread's
// requests, in the HTTP client's words.
thread_local DWORD g_response_error = 0;
thread_local std::u16string g_response_text;

void SetResponseInfo(DWORD error, const std::string& text) {
  g_response_error = error;
  g_response_text = emu::FromUtf8(text);
}

// Extra request headers: CRLF-separated lines, `length` characters or, as
// (DWORD)-1, up to the terminating NUL.
std::vector<std::string> SplitHeaders(LPCWSTR headers, DWORD length) {
  std::vector<std::string> lines;
  if (!headers) return lines;
  std::u16string text =
      length == static_cast<DWORD>(-1) ? std::u16string(headers) : std::u16string(headers, length);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(u"\r\n", pos);
    if (end == std::u16string::npos) end = text.size();
    if (end > pos) lines.push_back(emu::ToUtf8(text.substr(pos, end - pos)));
    pos = end + 2;
  }
  return lines;
}

}  // namespace

HINTERNET WINAPI InternetOpenW(LPCWSTR lpszAgent, DWORD dwAccessType, LPCWSTR lpszProxy,
                               LPCWSTR lpszProxyBypass, DWORD dwFlags) {
  emu::ApiCall call("InternetOpenW", lpszAgent, dwAccessType, lpszProxy, lpszProxyBypass,
                    emu::Hex(dwFlags));
  if (call.faulted()) return call.fail_injected<HINTERNET>(nullptr);
  // The handheld has no proxy configuration: preconfigured access is direct.
  if ((dwAccessType != INTERNET_OPEN_TYPE_DIRECT && dwAccessType != INTERNET_OPEN_TYPE_PRECONFIG) ||
      (dwFlags & INTERNET_FLAG_ASYNC))
    return call.fail<HINTERNET>(ERROR_INVALID_PARAMETER, nullptr);
  auto session = std::make_shared<emu::InternetSession>();
  session->agent = lpszAgent ? emu::ToUtf8(lpszAgent) : "";
  SetLastError(ERROR_SUCCESS);
  return call.ret<HINTERNET>(emu::AddHandle(session));
}

HINTERNET WINAPI InternetOpenUrlW(HINTERNET hInternet, LPCWSTR lpszUrl, LPCWSTR lpszHeaders,
                                  DWORD dwHeadersLength, DWORD dwFlags, DWORD_PTR dwContext) {
  emu::ApiCall call("InternetOpenUrlW", hInternet, lpszUrl, lpszHeaders, dwHeadersLength,
                    emu::Hex(dwFlags), dwContext);
  if (call.faulted()) return call.fail_injected<HINTERNET>(nullptr);
  auto session = emu::GetHandle<emu::InternetSession>(hInternet);
  if (!session) {
    DWORD code =
        emu::FindHandle(hInternet) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE;
    return call.fail<HINTERNET>(code, nullptr);
  }
  if (!lpszUrl) return call.fail<HINTERNET>(ERROR_INVALID_PARAMETER, nullptr);
  if (emu::NetworkOffline()) {
    SetResponseInfo(ERROR_INTERNET_CANNOT_CONNECT, "The handheld's network is offline");
    return call.fail<HINTERNET>(ERROR_INTERNET_CANNOT_CONNECT, nullptr);
  }
  auto request = std::make_shared<emu::InternetRequest>();
  request->session = session;
  emu::HttpRequest http;
  http.url = emu::ToUtf8(lpszUrl);
  http.agent = session->agent;
  http.headers = SplitHeaders(lpszHeaders, dwHeadersLength);
  http.flags = dwFlags;
  if (DWORD err = request->transfer.Open(http)) {
    SetResponseInfo(err, request->transfer.message());
    call.note("why", "\"" + request->transfer.message() + "\"");
    return call.fail<HINTERNET>(err, nullptr);
  }
  SetResponseInfo(ERROR_SUCCESS, "");
  call.note("status", request->transfer.response().status);
  SetLastError(ERROR_SUCCESS);
  return call.ret<HINTERNET>(emu::AddHandle(request));
}

BOOL WINAPI InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead,
                             LPDWORD lpdwNumberOfBytesRead) {
  emu::ApiCall call("InternetReadFile", hFile, dwNumberOfBytesToRead);
  if (lpdwNumberOfBytesRead) *lpdwNumberOfBytesRead = 0;
  if (call.faulted()) return call.fail_injected(FALSE);
  auto request = emu::GetHandle<emu::InternetRequest>(hFile);
  if (!request) return call.fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpdwNumberOfBytesRead || (!lpBuffer && dwNumberOfBytesToRead))
    return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  size_t got = 0;
  if (DWORD err = request->transfer.Read(lpBuffer, dwNumberOfBytesToRead, &got)) {
    SetResponseInfo(err, request->transfer.message());
    call.note("why", "\"" + request->transfer.message() + "\"");
    return call.fail(err, FALSE);
  }
  *lpdwNumberOfBytesRead = static_cast<DWORD>(got);
  call.note("read", got);
  SetLastError(ERROR_SUCCESS);
  return call.ret(TRUE);
}

BOOL WINAPI InternetCloseHandle(HINTERNET hInternet) {
  emu::ApiCall call("InternetCloseHandle", hInternet);
  if (call.faulted()) return call.fail_injected(FALSE);
  auto object = emu::FindHandle(hInternet);
  if (!std::dynamic_pointer_cast<emu::InternetSession>(object) &&
      !std::dynamic_pointer_cast<emu::InternetRequest>(object))
    return call.fail(ERROR_INVALID_HANDLE, FALSE);
  emu::RemoveHandle(hInternet);
  return call.ret(TRUE);
}

BOOL WINAPI InternetGetLastResponseInfoW(LPDWORD lpdwError, LPWSTR lpszBuffer,
                                         LPDWORD lpdwBufferLength) {
  emu::ApiCall call("InternetGetLastResponseInfoW", lpdwBufferLength ? *lpdwBufferLength : 0);
  if (call.faulted()) return call.fail_injected(FALSE);
  if (!lpdwError || !lpdwBufferLength) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpdwError = g_response_error;
  DWORD needed = static_cast<DWORD>(g_response_text.size() + 1);
  if (!lpszBuffer || *lpdwBufferLength < needed) {
    *lpdwBufferLength = needed;
    return call.fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  memcpy(lpszBuffer, g_response_text.c_str(), needed * sizeof(WCHAR));
  *lpdwBufferLength = needed - 1;
  call.note("text", emu::TraceText(lpszBuffer));
  SetLastError(ERROR_SUCCESS);
  return call.ret(TRUE);
}

DWORD WINAPI InternetAttemptConnect(DWORD dwReserved) {
  emu::ApiCall call("InternetAttemptConnect", dwReserved);
  if (call.faulted()) return call.fail_injected(call.fault_code());
  if (emu::NetworkOffline())
    return call.fail(ERROR_INTERNET_CANNOT_CONNECT,
                     static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  return call.ret(static_cast<DWORD>(ERROR_SUCCESS));
}
