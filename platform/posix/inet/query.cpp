// HttpQueryInfoW: the status line and headers of an open request's response.
#include <wininet.h>

#include <cstring>
#include <optional>
#include <string>

#include "core/api_call.h"
#include "core/wide.h"
#include "inet/handles.h"

namespace {

const char* HeaderName(DWORD level) {
  switch (level) {
    case HTTP_QUERY_MIME_VERSION:
      return "mime-version";
    case HTTP_QUERY_CONTENT_TYPE:
      return "content-type";
    case HTTP_QUERY_CONTENT_TRANSFER_ENCODING:
      return "content-transfer-encoding";
    case HTTP_QUERY_CONTENT_ID:
      return "content-id";
    case HTTP_QUERY_CONTENT_DESCRIPTION:
      return "content-description";
    case HTTP_QUERY_CONTENT_LENGTH:
      return "content-length";
    case HTTP_QUERY_CONTENT_LANGUAGE:
      return "content-language";
    case HTTP_QUERY_DATE:
      return "date";
    case HTTP_QUERY_LAST_MODIFIED:
      return "last-modified";
    case HTTP_QUERY_CONTENT_ENCODING:
      return "content-encoding";
    case HTTP_QUERY_LOCATION:
      return "location";
    case HTTP_QUERY_SERVER:
      return "server";
    case HTTP_QUERY_TRANSFER_ENCODING:
      return "transfer-encoding";
    default:
      return nullptr;
  }
}

bool SameName(const std::string& a, const char* b) {
  if (a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

// The value asked for, or the error code when there is none.
std::optional<std::string> Lookup(const emu::HttpResponse& r, DWORD level, DWORD index,
                                  DWORD* error) {
  switch (level) {
    case HTTP_QUERY_STATUS_CODE:
      return std::to_string(r.status);
    case HTTP_QUERY_STATUS_TEXT:
      return r.reason;
    case HTTP_QUERY_VERSION:
      return r.version;
    case HTTP_QUERY_RAW_HEADERS_CRLF:
    case HTTP_QUERY_RAW_HEADERS: {
      // Lines end in CRLF, or in a NUL for the plain raw form.
      std::string end = level == HTTP_QUERY_RAW_HEADERS ? std::string(1, '\0') : "\r\n";
      std::string text = r.version + " " + std::to_string(r.status);
      if (!r.reason.empty()) text += " " + r.reason;
      text += end;
      for (const auto& [name, value] : r.headers) text += name + ": " + value + end;
      text += end;
      return text;
    }
  }
  const char* name = HeaderName(level);
  if (!name) {
    *error = ERROR_HTTP_INVALID_QUERY_REQUEST;
    return std::nullopt;
  }
  DWORD seen = 0;
  for (const auto& [header, value] : r.headers)
    if (SameName(header, name) && seen++ == index) return value;
  *error = ERROR_HTTP_HEADER_NOT_FOUND;
  return std::nullopt;
}

}  // namespace

BOOL WINAPI HttpQueryInfoW(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer,
                           LPDWORD lpdwBufferLength, LPDWORD lpdwIndex) {
  emu::ApiCall call("HttpQueryInfoW", hRequest, emu::Hex(dwInfoLevel),
                    lpdwBufferLength ? *lpdwBufferLength : 0, lpdwIndex ? *lpdwIndex : 0);
  if (call.faulted()) return call.fail_injected(FALSE);
  auto request = emu::GetHandle<emu::InternetRequest>(hRequest);
  if (!request) {
    DWORD code =
        emu::FindHandle(hRequest) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE;
    return call.fail(code, FALSE);
  }
  if (!lpdwBufferLength) return call.fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD modifiers = dwInfoLevel & HTTP_QUERY_MODIFIER_FLAGS_MASK;
  if (modifiers & ~(HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_FLAG_COALESCE))
    return call.fail(ERROR_HTTP_INVALID_QUERY_REQUEST, FALSE);

  DWORD index = lpdwIndex ? *lpdwIndex : 0;
  DWORD error = 0;
  std::optional<std::string> value =
      Lookup(request->transfer.response(), dwInfoLevel & HTTP_QUERY_HEADER_MASK, index, &error);
  if (!value) return call.fail(error, FALSE);

  if (modifiers & HTTP_QUERY_FLAG_NUMBER) {
    const char* p = value->c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return call.fail(ERROR_HTTP_INVALID_HEADER, FALSE);
    unsigned long long number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      number = number * 10 + static_cast<unsigned>(*p - '0');
      if (number > 0xFFFFFFFFull) return call.fail(ERROR_HTTP_INVALID_HEADER, FALSE);
    }
    if (!lpBuffer || *lpdwBufferLength < sizeof(DWORD)) {
      *lpdwBufferLength = sizeof(DWORD);
      return call.fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    DWORD n = static_cast<DWORD>(number);
    memcpy(lpBuffer, &n, sizeof n);
    *lpdwBufferLength = sizeof n;
    call.note("value", n);
  } else {
    std::u16string text = emu::FromUtf8(*value);
    DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (!lpBuffer || *lpdwBufferLength < needed) {
      *lpdwBufferLength = needed;
      return call.fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    memcpy(lpBuffer, text.c_str(), needed);
    *lpdwBufferLength = needed - sizeof(WCHAR);
    call.note("value", "\"" + *value + "\"");
  }
  if (lpdwIndex) *lpdwIndex = index + 1;
  SetLastError(ERROR_SUCCESS);
  return call.ret(TRUE);
}
