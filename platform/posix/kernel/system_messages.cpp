// FormatMessageW for the system's message table: the platform's English
// texts for the errors the program reports.
#include <windows.h>

#include <cstring>

#include "core/api_call.h"

namespace {

constexpr DWORD kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

struct Message {
  DWORD code;
  const char16_t* text;
};

constexpr Message kMessages[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough storage is available to process this command.\r\n"},
    {14, u"Not enough storage is available to complete this operation.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {234, u"More data is available.\r\n"},
    {1460, u"This operation returned because the timeout period expired.\r\n"},
    {12002, u"The operation timed out\r\n"},
    {12005, u"The URL is invalid\r\n"},
    {12006, u"The URL does not use a recognized protocol\r\n"},
    {12007, u"The server name or address could not be resolved\r\n"},
    {12029, u"A connection with the server could not be established\r\n"},
    {12030, u"The connection with the server was terminated abnormally\r\n"},
    {12031, u"The connection with the server was reset\r\n"},
    {12037, u"The date in the certificate is invalid or has expired\r\n"},
    {12038, u"The host name in the certificate is invalid or does not match\r\n"},
    {12039, u"The page was redirected from a non-secure to a secure connection\r\n"},
    {12040, u"The page was redirected from a secure to a non-secure connection\r\n"},
    {12045, u"The certificate authority is invalid or incorrect\r\n"},
    {12157, u"An error occurred in the secure channel support\r\n"},
    {0x80004005, u"Unspecified error\r\n"},
};

const char16_t* Lookup(DWORD code) {
  for (const auto& m : kMessages)
    if (m.code == code) return m.text;
  // HRESULT_FROM_WIN32(x) has the text of x.
  if ((code & 0xFFFF0000u) == 0x80070000u) {
    DWORD win32 = code & 0xFFFF;
    for (const auto& m : kMessages)
      if (m.code == win32) return m.text;
  }
  return nullptr;
}

}  // namespace

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer,
                            DWORD size, va_list* arguments) {
  emu::ApiCall call("FormatMessageW", emu::Hex(flags), source, emu::Hex(id), language, buffer, size,
                    arguments);
  if (call.faulted()) return call.fail_injected(DWORD{0});
  // Only the system's table is kept here (it holds the network library's
  // texts too); its texts have no inserts, so IGNORE_INSERTS changes nothing.
  constexpr DWORD kFromString = 0x00000400;
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & kFromString) || !buffer)
    return call.fail(ERROR_INVALID_PARAMETER, DWORD{0});
  const char16_t* text = Lookup(id);
  if (!text) return call.fail(kMessageNotFound, DWORD{0});
  DWORD len = 0;
  while (text[len]) ++len;

  WCHAR* out = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    // lpBuffer receives a LocalAlloc'ed block of at least nSize characters.
    DWORD chars = size > len + 1 ? size : len + 1;
    out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, chars * sizeof(WCHAR)));
    if (!out) return call.fail(ERROR_NOT_ENOUGH_MEMORY, DWORD{0});
    *reinterpret_cast<WCHAR**>(buffer) = out;
  } else if (size < len + 1) {
    return call.fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
  }
  std::memcpy(out, text, (len + 1) * sizeof(WCHAR));
  return call.ret(len);
}
