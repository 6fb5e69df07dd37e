// The registry: registry.reg of the device folder through the registry calls.
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "core/api_call.h"
#include "core/wide.h"
#include "registry/hive.h"
#include "registry/store.h"
#include "support/device_fixture.h"
#include "support/skylode_process.h"

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

// Each line of the file reads as these bytes, stays as it is while its value
// does, and a value of these bytes is written as `written`.
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
  // A change writes the registry back, the other lines as they were; the
  // same values set in another key are written in their own forms.
  ASSERT_EQ(Set(key, u"Touch", REG_DWORD, Bytes({1, 0, 0, 0})), ERROR_SUCCESS);
  HKEY copy = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Copy", 0, nullptr, 0, 0, nullptr, &copy, nullptr),
            ERROR_SUCCESS);
  emu::reg::Hive read;
  ASSERT_TRUE(emu::reg::Parse(ReadHostFile("registry.reg"), &read, nullptr));
  for (const auto& c : cases) {
    std::optional<emu::reg::Value> v = read.FindValue(u"HKEY_LOCAL_MACHINE\\Test", c.name);
    ASSERT_TRUE(v);
    ASSERT_EQ(Set(copy, v->name.c_str(), v->type, v->data), ERROR_SUCCESS);
  }
  std::string file = ReadHostFile("registry.reg");
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n\n" + text, 0), 0u) << file;
  size_t copied = file.find("[HKEY_LOCAL_MACHINE\\Copy]\n");
  ASSERT_NE(copied, std::string::npos);
  emu::reg::Hive reread;
  ASSERT_TRUE(emu::reg::Parse(file, &reread, nullptr));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_NE(file.find("\n" + std::string(c.written ? c.written : c.line) + "\n", copied),
              std::string::npos);
    std::optional<emu::reg::Value> v = reread.FindValue(u"HKEY_LOCAL_MACHINE\\COPY", c.name);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
  }
  RegCloseKey(copy);
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
  emu::reg::Hive hive;
  ASSERT_TRUE(emu::reg::Parse(file, &hive, nullptr));
  const std::u16string k = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient";
  ASSERT_TRUE(hive.FindValue(k, u"Long"));
  EXPECT_EQ(hive.FindValue(k, u"Long")->data, data);
  EXPECT_EQ(hive.FindValue(k, u"LongText")->data, std::string(300, 'x'));
  // The time zone the new handheld was made with survives the rewrite.
  EXPECT_EQ(hive.FindValue(u"HKEY_LOCAL_MACHINE\\Time", u"TimeZoneInformation")->data.size(),
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

// A file with anything the store cannot read is refused whole: every call
// fails, nothing is written, and the problem names the file and the line.
TEST_F(RegistryTest, AFileItCannotReadIsRefusedAndLeftAlone) {
  const std::string kHead = "Windows Registry Editor Version 5.00\n\n";           // lines 1 and 2
  const std::string kKey = "[HKEY_LOCAL_MACHINE\\Good]\n\"A\"=dword:00000002\n";  // 3 and 4
  struct Case {
    std::string file;
    int line;
    const char* what;
  } cases[] = {
      {kHead + kKey + "[HKEY_LOCAL_MACHINE\\Unclosed\n\"D\"=dword:00000004\n", 5,
       "the key's header lacks its closing ']'"},
      {kHead + kKey + "\"Big\"=dword:123456789\n", 5, "value \"Big\": a dword takes 1 to 8 hex"},
      {kHead + kKey + "\"Bad\"=dword:xyz\n", 5, "a dword takes"},
      {kHead + kKey + "\"Bad\"=hex:1,2g\n", 5, "a hex list takes"},
      {kHead + kKey + "\"Bad\"=hex:01,\\\n", 5, "a hex list takes"},  // continued past the end
      {kHead + kKey + "\"Bad\"=hex(zz):00\n", 5, "hex(type): takes"},
      {kHead + kKey + "@=\"unterminated\n", 5, "the default value: the text lacks its closing"},
      {kHead + kKey + "\"Bad\"=\"text\" trailing\n", 5, "follows the text's closing quote"},
      {kHead + kKey + "\"Bad\"=word:1\n", 5, "the data is none of"},
      {kHead + kKey + "\"Bad\" dword:1\n", 5, "no '=' after the value's name"},
      {kHead + kKey + "garbage line\n", 5, "neither a key, a value nor a comment"},
      {kHead + "\"Orphan\"=dword:00000001\n" + kKey, 3, "a value before any key"},
      {kHead + "[HKEY_NOWHERE\\Bad]\n", 3, "none of HKEY_CLASSES_ROOT"},
      {kHead + "[-HKEY_LOCAL_MACHINE\\Old]\n\"A\"=dword:00000001\n", 4,
       "a value under a key's deletion line"},
      {kHead + kKey + "\"Z\"=\"Z\xFCrich\"\n", 5, "not UTF-8: byte 0xFC in column 7"},
      {kHead + kKey + "\"Slash\"=\"\xC0\xAF\"\n", 5, "not UTF-8: byte 0xC0"},  // overlong '/'
      {kHead + kKey + "\"S\"=\"\xED\xA0\x80\"\n", 5, "not UTF-8: byte 0xED"},  // a surrogate
      {"\xFF\xFE" + Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\A]\r\n\xD800"),
       4, "not UTF-16LE: a lone surrogate or a lone byte"},
      {"\xFF\xFE" + Utf16(u"Windows Registry Editor Version 5.00\r\n") + "x", 2, "not UTF-16LE"},
      {Utf16(u"Windows Registry Editor Version 5.00\r\n"), 1, "a NUL character"},
      {"\xFE\xFF" + std::string("\0W", 2), 1, "big-endian UTF-16"},
  };
  HKEY key = nullptr;
  const BYTE one[4] = {1, 0, 0, 0};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHostFile("registry.reg", c.file);
    std::string problem = emu::reg::CheckStore();
    std::string where = Path("registry.reg") + ": line " + std::to_string(c.line) + ": ";
    EXPECT_EQ(problem.rfind(where, 0), 0u) << problem;
    EXPECT_NE(problem.find(c.what), std::string::npos) << problem;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Good", 0, 0, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"New", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"X", 0, REG_DWORD, one, 4),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadHostFile("registry.reg"), c.file);
  }
  // Mended, it is read again.
  WriteRegistry(kKey);
  EXPECT_EQ(emu::reg::CheckStore(), "");
  key = OpenKey(u"Good");
  EXPECT_EQ(Query(key, u"A"), Bytes({2, 0, 0, 0}));
  RegCloseKey(key);

  // Whatever the bytes, reading never crashes.
  std::mt19937 random(7);
  const char alphabet[] = "[]\"\\=@:,;-hexdwor(1)0aF \n\r\xC3\xBC";
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int n = random() % 80; n > 0; --n) text += alphabet[random() % (sizeof alphabet - 1)];
    emu::reg::Hive hive;
    emu::reg::Problem problem;
    if (!emu::reg::Parse(text, &hive, &problem)) {
      EXPECT_GT(problem.line, 0);
    }
  }
}

// The handheld does not start on such a file: no dialog, the problem on
// standard error, a failure status, and the file as it was.
TEST_F(RegistryTest, TheHandheldDoesNotStartOnAFileItCannotRead) {
  WriteRegistry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n"
      "\"Url\"=\"http://a.example/x.ee\"\n"
      "\"Tries\"=dword:123456789\n");
  std::string before = ReadHostFile("registry.reg");
  ProgramRun run = RunSkylode(dir_, "type http://b.example/y.ee\nclick 1000\n");
  EXPECT_NE(run.exit_code, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(Path("registry.reg") + ": line 5: value \"Tries\": a dword takes"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadHostFile("registry.reg"), before);
}

// Comments, blank lines, deletion lines, line ends, spacing and spelling all
// stay; the file keeps its encoding.
TEST_F(RegistryTest, AChangeKeepsTheRestOfTheFileAsItWas) {
  const std::string before =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "; Exported for the field test\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n"
      "; the server we use\n"
      "\"Url\"=\"http://old.example/Z\xC3\xBCrich.ee\"\n"
      "  \"Count\" = DWORD:0000000A\n"
      "\"Gone\"=-\n"
      "\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
      "\n"
      "[hkey_local_machine\\Time]\n"
      "\"Blob\"=hex:01,02,\\\n"
      "    03\n"
      "; end of file\n";
  const std::string after =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "; Exported for the field test\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ETEN\\AGPRSDownloadClient]\n"
      "; the server we use\n"
      "\"Url\"=\"http://new.example/\xE2\x82\xAC.ee\"\n"
      "  \"Count\" = DWORD:0000000A\n"
      "\"Gone\"=-\n"
      "\"Gone\"=dword:00000001\n"
      "\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
      "\n"
      "[hkey_local_machine\\Time]\n"
      "\"Blob\"=hex:01,02,\\\n"
      "    03\n"
      "; end of file\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n"
      "\"V\"=dword:00000002\n"
      "\n";
  // Built by appending: GCC 12 at -O3 warns of false overlaps in insert and
  // in "text" + std::string.
  auto crlf = [](const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  };
  struct Case {
    const char* name;
    std::function<std::string(const std::string&)> encode;
  } cases[] = {
      {"UTF-8", [](const std::string& s) { return s; }},
      {"UTF-8 with a byte-order mark, CRLF",
       [&](const std::string& s) { return std::string("\xEF\xBB\xBF").append(crlf(s)); }},
      {"UTF-16LE, CRLF",
       [&](const std::string& s) {
         return std::string("\xFF\xFE").append(Utf16(emu::FromUtf8(crlf(s))));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteHostFile("registry.reg", c.encode(before));
    HKEY client = OpenKey(u"SOFTWARE\\ETEN\\AGPRSDownloadClient");
    EXPECT_EQ(Query(client, u"count"), Bytes({10, 0, 0, 0}));
    EXPECT_EQ(Query(client, u"Gone"), "error 2");
    EXPECT_EQ(Query(client, u"Url"), Utf16(u"http://old.example/Z\u00FCrich.ee") + Bytes({0, 0}));
    ASSERT_EQ(Set(client, u"URL", REG_SZ, Utf16(u"http://new.example/\u20AC.ee") + Bytes({0, 0})),
              ERROR_SUCCESS);
    ASSERT_EQ(Set(client, u"Gone", REG_DWORD, Bytes({1, 0, 0, 0})), ERROR_SUCCESS);
    // Setting what is there already writes nothing.
    ASSERT_EQ(Set(client, u"Count", REG_DWORD, Bytes({10, 0, 0, 0})), ERROR_SUCCESS);
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\New", 0, nullptr, 0, 0, nullptr,
                              &made, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(Set(made, u"V", REG_DWORD, Bytes({2, 0, 0, 0})), ERROR_SUCCESS);
    EXPECT_EQ(ReadHostFile("registry.reg"), c.encode(after));
    RegCloseKey(made);
    RegCloseKey(client);
  }
}

// Lines apply in file order; a change keeps to that when the file is read
// again, also where a value or a key is listed more than once.
TEST_F(RegistryTest, DeletionsAndRepeatsApplyInFileOrder) {
  WriteRegistry(
      "[HKEY_LOCAL_MACHINE\\A]\n"
      "\"a\"=dword:00000001\n"
      "[-HKEY_LOCAL_MACHINE\\A]\n"
      "[HKEY_LOCAL_MACHINE\\A\\Sub]\n"
      "[HKEY_LOCAL_MACHINE\\B]\n"
      "\"x\"=dword:00000001\n"
      "\"y\"=dword:00000001\n"
      "[HKEY_LOCAL_MACHINE\\b]\n"
      "\"X\"=dword:00000002\n"
      "\"y\"=-\n");
  HKEY a = OpenKey(u"A");  // it exists through its subkey
  HKEY b = OpenKey(u"B");
  EXPECT_EQ(Query(a, u"a"), "error 2");
  EXPECT_EQ(Query(b, u"x"), Bytes({2, 0, 0, 0}));
  EXPECT_EQ(Query(b, u"y"), "error 2");
  EXPECT_EQ(RegDeleteValueW(b, u"x"), ERROR_SUCCESS);
  EXPECT_EQ(Query(b, u"x"), "error 2");
  ASSERT_EQ(Set(b, u"y", REG_DWORD, Bytes({3, 0, 0, 0})), ERROR_SUCCESS);
  ASSERT_EQ(Set(a, u"a", REG_DWORD, Bytes({4, 0, 0, 0})), ERROR_SUCCESS);

  // Another process reads the file afresh: the same registry.
  emu::reg::Hive reread;
  ASSERT_TRUE(emu::reg::Parse(ReadHostFile("registry.reg"), &reread, nullptr));
  EXPECT_EQ(reread.Describe(),
            "HKEY_LOCAL_MACHINE\\A (listed)\n"
            "  \"a\" 4 04000000\n"
            "HKEY_LOCAL_MACHINE\\A\\Sub (listed)\n"
            "HKEY_LOCAL_MACHINE\\B (listed)\n"
            "  \"y\" 4 03000000\n")
      << ReadHostFile("registry.reg");
  RegCloseKey(a);
  RegCloseKey(b);
}

// Many keys: each found, and a change written and read back whole. (Before
// the index, reading this many took minutes.)
TEST_F(RegistryTest, FiftyThousandKeys) {
  constexpr int kKeys = 50000;
  std::string text;
  for (int i = 0; i < kKeys; ++i)
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Many\\Key" + std::to_string(i) +
            "]\n\"N\"=dword:" + std::to_string(i % 10) + "\n\n";
  WriteRegistry(text);
  for (int i : {0, kKeys / 2, kKeys - 1}) {
    HKEY key = OpenKey((u"software\\many\\KEY" + emu::FromUtf8(std::to_string(i))).c_str());
    EXPECT_EQ(Query(key, u"n"), Bytes({i % 10, 0, 0, 0}));
    ASSERT_EQ(Set(key, u"M", REG_DWORD, Bytes({7, 0, 0, 0})), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  emu::reg::Hive reread;
  ASSERT_TRUE(emu::reg::Parse(ReadHostFile("registry.reg"), &reread, nullptr));
  EXPECT_EQ(reread.FindValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Many\\Key49999", u"M")->data,
            Bytes({7, 0, 0, 0}));
  EXPECT_TRUE(reread.Exists(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Many\\Key12345"));
  EXPECT_FALSE(reread.Exists(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Many\\Key50000"));
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
