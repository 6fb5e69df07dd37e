// The system's texts for error codes (FormatMessageW).
#include <windows.h>

#include <string>

#include "core/api_call.h"
#include "core/wide.h"
#include "support/device_fixture.h"

namespace {

class FormatMessageTest : public DeviceTest {
 protected:
  static constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
};

TEST_F(FormatMessageTest, SystemTexts) {
  struct Case {
    DWORD code;
    const char16_t* want;
  };
  const Case cases[] = {
      {0, u"The operation completed successfully.\r\n"},
      {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
      {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
      {ERROR_TIMEOUT, u"This operation returned because the timeout period expired.\r\n"},
      {static_cast<DWORD>(E_FAIL), u"Unspecified error\r\n"},
      {static_cast<DWORD>(E_INVALIDARG), u"The parameter is incorrect.\r\n"},
      {static_cast<DWORD>(E_OUTOFMEMORY),
       u"Not enough storage is available to complete this operation.\r\n"},
      {static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)),
       u"Cannot create a file when that file already exists.\r\n"},
      {12002, u"The operation timed out\r\n"},
      {12007, u"The server name or address could not be resolved\r\n"},
      {12029, u"A connection with the server could not be established\r\n"},
      {static_cast<DWORD>(HRESULT_FROM_WIN32(12029)),
       u"A connection with the server could not be established\r\n"},
  };
  for (const auto& c : cases) {
    WCHAR buf[256];
    DWORD n = FormatMessageW(kFlags, nullptr, c.code, 0, buf, 256, nullptr);
    EXPECT_EQ(emu::ToUtf8(buf), emu::ToUtf8(c.want)) << c.code;
    EXPECT_EQ(n, std::u16string(c.want).size()) << c.code;
  }
  for (DWORD code :
       {1u,     3u,     6u,     8u,     14u,    32u,    87u,    112u,   122u,   183u,  234u,
        12005u, 12006u, 12030u, 12031u, 12037u, 12038u, 12039u, 12040u, 12045u, 12157u}) {
    WCHAR buf[256];
    DWORD n = FormatMessageW(kFlags, nullptr, code, 0, buf, 256, nullptr);
    ASSERT_GT(n, 2u) << code;
    EXPECT_EQ(std::u16string(buf + n - 2), u"\r\n") << code;
  }
}

TEST_F(FormatMessageTest, FailuresAndAllocatedBuffer) {
  WCHAR buf[8];
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(kFlags, nullptr, 4242, 0, buf, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), 317u);
  // Too small a buffer is reported, not overrun.
  EXPECT_EQ(FormatMessageW(kFlags, nullptr, ERROR_ACCESS_DENIED, 0, buf, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageW(0, nullptr, ERROR_ACCESS_DENIED, 0, buf, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  WCHAR* allocated = nullptr;
  DWORD n = FormatMessageW(kFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_ACCESS_DENIED, 0,
                           reinterpret_cast<LPWSTR>(&allocated), 0, nullptr);
  ASSERT_EQ(n, 19u);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::u16string(allocated), u"Access is denied.\r\n");
  LocalFree(allocated);

  emu::SetFaults("FormatMessageW=8");
  EXPECT_EQ(FormatMessageW(kFlags, nullptr, 0, 0, buf, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), 8u);
}

}  // namespace
