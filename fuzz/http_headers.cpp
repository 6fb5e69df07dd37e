// The HTTP client's header queries over any header block a server could
// send (status line and header lines, as libcurl hands them over). Every
// query either answers or fails with one of its documented errors; asked
// with too small a buffer it says the size it needs, and with that size it
// answers, NUL-terminated, the length it gave; numbers are whole 32-bit
// values; the index walks a repeated header to its end.
#include <wininet.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"
#include "inet/handles.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

const DWORD kLevels[] = {
    HTTP_QUERY_STATUS_CODE,      HTTP_QUERY_STATUS_TEXT,      HTTP_QUERY_VERSION,
    HTTP_QUERY_RAW_HEADERS,      HTTP_QUERY_RAW_HEADERS_CRLF, HTTP_QUERY_CONTENT_TYPE,
    HTTP_QUERY_CONTENT_LENGTH,   HTTP_QUERY_LOCATION,         HTTP_QUERY_DATE,
    HTTP_QUERY_LAST_MODIFIED,    HTTP_QUERY_SERVER,           HTTP_QUERY_TRANSFER_ENCODING,
    HTTP_QUERY_CONTENT_ENCODING,
};

// Asks until the header runs out (or a bound; the status line's parts and
// the raw block have no index); each answer checked.
void Query(HINTERNET request, DWORD level) {
  const DWORD header = level & HTTP_QUERY_HEADER_MASK;
  const DWORD times = header == HTTP_QUERY_STATUS_CODE || header == HTTP_QUERY_STATUS_TEXT ||
                              header == HTTP_QUERY_VERSION || header == HTTP_QUERY_RAW_HEADERS ||
                              header == HTTP_QUERY_RAW_HEADERS_CRLF
                          ? 1
                          : 64;
  for (DWORD index = 0; index < times;) {
    DWORD asked = index, length = 0;
    if (HttpQueryInfoW(request, level, nullptr, &length, &asked)) abort();  // no buffer
    DWORD error = GetLastError();
    if (error == ERROR_HTTP_HEADER_NOT_FOUND || error == ERROR_HTTP_INVALID_HEADER) return;
    Check(error == ERROR_INSUFFICIENT_BUFFER && asked == index);
    const bool number = level & HTTP_QUERY_FLAG_NUMBER;
    Check(number ? length == sizeof(DWORD)
                 : length >= sizeof(WCHAR) && length % sizeof(WCHAR) == 0);
    std::vector<BYTE> buffer(length + 2, 0xEE);
    DWORD given = length;
    Check(HttpQueryInfoW(request, level, buffer.data(), &given, &asked));
    Check(asked == index + 1 && buffer[length] == 0xEE);
    if (!number) {
      Check(given == length - sizeof(WCHAR));
      Check(buffer[given] == 0 && buffer[given + 1] == 0);
    }
    index = asked;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto request = std::make_shared<emu::InternetRequest>();
  request->transfer.TakeHeaders(std::string(reinterpret_cast<const char*>(data), size));
  HINTERNET h = emu::AddHandle(request);
  for (DWORD level : kLevels) Query(h, level);
  for (DWORD level : {HTTP_QUERY_STATUS_CODE, HTTP_QUERY_CONTENT_LENGTH})
    Query(h, level | HTTP_QUERY_FLAG_NUMBER);
  DWORD length = 64;
  WCHAR buffer[32];
  Check(!HttpQueryInfoW(h, 0xFFFF, buffer, &length, nullptr) &&
        GetLastError() == ERROR_HTTP_INVALID_QUERY_REQUEST);
  Check(emu::RemoveHandle(h));
  return 0;
}
