// The registry: registry.reg of the device folder through the registry calls.
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "registry/format.h"
#include "core/wide.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string out;
  for (int v : b) out.push_back(static_cast<char>(v));
  return out;
}

std::string Utf16(const std::u16string& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

class RegistryTest : public DeviceTest {
 protected:
  HKEY OpenKey(LPCWSTR sub) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    return key;
  }

  // The value's type and bytes, or "error N".
  std::string Query(HKEY key, LPCWSTR name, DWORD* type = nullptr) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
    std::string data(size, '\0');
    rc = RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
    return data.substr(0, size);
  }

  LONG Set(HKEY key, LPCWSTR name, DWORD type, const std::string& data) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }
};

// Each line of the file reads as these bytes and is written back as `written`.
TEST_F(RegistryTest, ValuesRoundTripByteForByte) {
  struct Case {
    const char* line;
    const char16_t* name;
    DWORD type;
    std::string data;
    const char* written = nullptr;  // null: the line itself
  } cases[] = {
      {R"("Text"="a \"q\" C:\\dir")", u"Text", REG_SZ, Utf16(u"a \"q\" C:\\dir") + Bytes({0, 0})},
      {R"("Na\"me\\"="v")", u"na\"ME\\", REG_SZ, Bytes({'v', 0, 0, 0})},
      {R"(@="default")", u"", REG_SZ, Utf16(u"default") + Bytes({0, 0})},
      {R"("Empty"="")", u"Empty", REG_SZ, Bytes({0, 0})},
      {"\"Uni\"=\"Z\xC3\xBCrich \xE2\x82\xAC\"", u"Uni", REG_SZ,
       Utf16(u"Z\u00FCrich \u20AC") + Bytes({0, 0})},
      // A REG_SZ given in hex that is plain text is written as text.
      {R"("Four"=hex(1):34,00,00,00)", u"Four", REG_SZ, Bytes({0x34, 0, 0, 0}), R"("Four"="4")"},
      {R"("NoNul"=hex(1):34,00)", u"NoNul", REG_SZ, Bytes({0x34, 0})},
      {R"("Odd"=hex(1):34,00,00)", u"Odd", REG_SZ, Bytes({0x34, 0, 0})},
      {R"("Embedded"=hex(1):61,00,00,00,62,00,00,00)", u"Embedded", REG_SZ,
       Bytes({0x61, 0, 0, 0, 0x62, 0, 0, 0})},
      {R"("Lines"=hex(1):61,00,0a,00,00,00)", u"Lines", REG_SZ, Bytes({0x61, 0, 0x0a, 0, 0, 0})},
      {R"("Count"=dword:0000000a)", u"Count", REG_DWORD, Bytes({10, 0, 0, 0})},
      {R"("Big"=DWORD:FFFFFFFE)", u"Big", REG_DWORD, Bytes({0xfe, 0xff, 0xff, 0xff}),
       R"("Big"=dword:fffffffe)"},
      {R"("Short"=hex(4):01,02)", u"Short", REG_DWORD, Bytes({1, 2})},
      {R"("Blob"=hex:00,ff,7f)", u"Blob", REG_BINARY, Bytes({0, 0xff, 0x7f})},
      {R"("None"=hex:)", u"None", REG_BINARY, ""},
      {R"("Multi"=hex(7):61,00,00,00,00,00)", u"Multi", REG_MULTI_SZ, Bytes({0x61, 0, 0, 0, 0, 0})},
      {R"("Expand"=hex(2):25,00,00,00)", u"Expand", REG_EXPAND_SZ, Bytes({0x25, 0, 0, 0})},
      {R"("Qword"=hex(b):01,00,00,00,00,00,00,00)", u"Qword", REG_QWORD,
       Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
      {"\"Wrapped\"=hex:01,02,\\\n    03,\\\n  04", u"Wrapped", REG_BINARY, Bytes({1, 2, 3, 4}),
       R"("Wrapped"=hex:01,02,03,04)"},
  };
  std::string text = "[HKEY_LOCAL_MACHINE\\Test]\n";
  for (const auto& c : cases) text += std::string(c.line) + "\n";
  WriteRegistry(text);

  HKEY key = OpenKey(u"test");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    DWORD type = 99;
    EXPECT_EQ(Query(key, c.name, &type), c.data);
    EXPECT_EQ(type, c.type);
  }
  // A change writes the whole registry back.
  ASSERT_EQ(Set(key, u"Touch", REG_DWORD, Bytes({1, 0, 0, 0})), ERROR_SUCCESS);
  std::string file = ReadHostFile("registry.reg");
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Test]\n", 0),
            0u);
  emu::reg::Hive reread = emu::reg::Parse(file);
  const emu::reg::Key* k = reread.Find(u"HKEY_LOCAL_MACHINE\\TEST");
  ASSERT_NE(k, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_NE(file.find("\n" + std::string(c.written ? c.written : c.line) + "\n"),
              std::string::npos);
    const emu::reg::Value* v = k->Find(c.name);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, LongValuesAreWrappedAndReadBack) {
  std::string data;
  for (int i = 0; i < 200; ++i) data.push_back(static_cast<char>(i));
  HKEY key = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
  ASSERT_EQ(Set(key, u"Long", REG_BINARY, data), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, u"LongText", REG_EXPAND_SZ, std::string(300, 'x')), ERROR_SUCCESS);
  std::string file = ReadHostFile("registry.reg");
  EXPECT_NE(file.find(",\\\n  "), std::string::npos);
  // Another process's view: parse the file afresh.
  emu::reg::Hive hive = emu::reg::Parse(file);
  const auto* k = hive.Find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->Find(u"Long")->data, data);
  EXPECT_EQ(k->Find(u"LongText")->data, std::string(300, 'x'));
  // The time zone the new handheld was made with survives the rewrite.
  EXPECT_EQ(hive.Find(u"HKEY_LOCAL_MACHINE\\Time")->Find(u"TimeZoneInformation")->data.size(),
            sizeof(TIME_ZONE_INFORMATION));
  RegCloseKey(key);
}

TEST_F(RegistryTest, QueryFollowsTheBufferRules) {
  HKEY key = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
  ASSERT_EQ(Set(key, u"Server", REG_SZ, Utf16(u"abc") + Bytes({0, 0})), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"SERVER", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  BYTE buf[16];
  memset(buf, 0xAA, sizeof buf);
  size = 6;
  EXPECT_EQ(RegQueryValueExW(key, u"Server", nullptr, nullptr, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  size = 8;
  EXPECT_EQ(RegQueryValueExW(key, u"Server", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 8), Utf16(u"abc") + Bytes({0, 0}));
  EXPECT_EQ(buf[8], 0xAA);  // no NUL added past the stored bytes
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, buf, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, u"Server", nullptr, nullptr, buf, nullptr),
            ERROR_INVALID_PARAMETER);

  EXPECT_EQ(RegDeleteValueW(key, u"server"), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u"Server"), "error 2");
  EXPECT_EQ(RegDeleteValueW(key, u"server"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadHostFile("registry.reg").find("Server"), std::string::npos);
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeysOpenCreateAndClose) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nowhere", 0, 0, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  // A key with only subkeys exists; names match without regard to case.
  HKEY software = OpenKey(u"software");
  HKEY client = nullptr;
  ASSERT_EQ(RegOpenKeyExW(software, u"eten\\agprsdownloadclient", 0, 0, &client), ERROR_SUCCESS);
  ASSERT_EQ(Set(client, u"X", REG_DWORD, Bytes({1, 0, 0, 0})), ERROR_SUCCESS);
  EXPECT_NE(ReadHostFile("registry.reg")
                .find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]"
                      "\n\"X\"=dword:00000001\n"),
            std::string::npos);

  HKEY made = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(software, u"eten\\New", 0, nullptr, 0, 0, nullptr, &made, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, 1u);  // created
  // Written at once, with the existing part spelt as the registry has it.
  EXPECT_NE(ReadHostFile("registry.reg").find("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\New]\n"),
            std::string::npos);
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Eten\\NEW", 0, nullptr, 0, 0, nullptr,
                            &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, 2u);  // opened existing

  for (HKEY k : {software, client, made, again}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(client), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(client, u"X", nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, MissingFileIsAnEmptyRegistry) {
  std::filesystem::remove(Path("registry.reg"));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"A\\B", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(ReadHostFile("registry.reg"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A\\B]\n\n");
  RegCloseKey(key);
}

TEST_F(RegistryTest, MalformedLinesAreSkipped) {
  WriteRegistry(
      "; a comment\n"
      "\"Orphan\"=dword:00000001\n"
      "[HKEY_LOCAL_MACHINE\\Good]\n"
      "\"A\"=dword:00000002\n"
      "garbage line\n"
      "\"Bad1\"=dword:xyz\n"
      "\"Bad2\"=hex:1,2g\n"
      "\"Bad3\"=\"unterminated\n"
      "\"Bad4\"=hex(zz):00\n"
      "\"Bad5\"=\"text\" trailing\n"
      "\"B\"=\"ok\"\n"
      "[HKEY_NOWHERE\\Bad]\n"
      "\"C\"=dword:00000003\n"
      "[HKEY_LOCAL_MACHINE\\Unclosed\n"
      "\"D\"=dword:00000004\n");
  int skipped = 0;
  emu::reg::Parse(ReadHostFile("registry.reg"), &skipped);
  EXPECT_EQ(skipped, 11);
  HKEY key = OpenKey(u"Good");
  EXPECT_EQ(Query(key, u"A"), Bytes({2, 0, 0, 0}));
  EXPECT_EQ(Query(key, u"B"), Utf16(u"ok") + Bytes({0, 0}));
  for (LPCWSTR name : {u"Bad1", u"Bad2", u"Bad3", u"Bad4", u"Bad5", u"C", u"D"})
    EXPECT_EQ(Query(key, name), "error 2");
  HKEY none = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Unclosed", 0, 0, &none), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);

  // Whatever the bytes, reading never crashes.
  std::mt19937 random(7);
  const char alphabet[] = "[]\"\\=@:,;hexdwor(1)0aF \n\r\xC3\xBC";
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int n = random() % 80; n > 0; --n) text += alphabet[random() % (sizeof alphabet - 1)];
    emu::reg::Parse(text);
  }
}

TEST_F(RegistryTest, AnotherProcesssEditIsSeen) {
  HKEY key = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
  EXPECT_EQ(Query(key, u"Url"), "error 2");
  WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n\"Url\"=\"x\"\n");
  EXPECT_EQ(Query(key, u"Url"), Utf16(u"x") + Bytes({0, 0}));
  RegCloseKey(key);
}

TEST_F(RegistryTest, ConcurrentChangesOfTwoProcessesAllSurvive) {
  HKEY key = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
  constexpr int kEach = 25;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failures = 0;
    for (int i = 0; i < kEach; ++i)
      failures += Set(key, (u"child" + emu::FromUtf8(std::to_string(i))).c_str(), REG_DWORD,
                      Bytes({i, 0, 0, 0})) != ERROR_SUCCESS;
    _exit(failures);
  }
  for (int i = 0; i < kEach; ++i)
    EXPECT_EQ(Set(key, (u"parent" + emu::FromUtf8(std::to_string(i))).c_str(), REG_DWORD,
                  Bytes({i, 0, 0, 0})),
              ERROR_SUCCESS);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int i = 0; i < kEach; ++i) {
    for (const char16_t* who : {u"child", u"parent"}) {
      std::u16string name = who + emu::FromUtf8(std::to_string(i));
      EXPECT_EQ(Query(key, name.c_str()), Bytes({i, 0, 0, 0})) << emu::ToUtf8(name);
    }
  }
  // Written aside and renamed: no temporary file stays behind.
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  RegCloseKey(key);
}

TEST_F(RegistryTest, FailuresLeaveTheFileAlone) {
  HKEY key = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
  std::string before = ReadHostFile("registry.reg");
  emu::SetFaults("RegSetValueExW=1013,RegOpenKeyExW#2=5");
  EXPECT_EQ(Set(key, u"X", REG_DWORD, Bytes({1, 0, 0, 0})), 1013);
  EXPECT_EQ(GetLastError(), 1013u);
  HKEY other = OpenKey(u"SOFTWARE");
  RegCloseKey(other);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, 0, &other), ERROR_ACCESS_DENIED);
  emu::SetFaults("");
  // Names the file could not hold are refused, not written half.
  EXPECT_EQ(Set(key, u"two\nlines", REG_DWORD, Bytes({1, 0, 0, 0})), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(key, u"a\nb", 0, nullptr, 0, 0, nullptr, &other, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadHostFile("registry.reg"), before);
  RegCloseKey(key);
}

}  // namespace
