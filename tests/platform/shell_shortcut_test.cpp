// The handheld's shortcut files: what the shell writes, the launcher reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/wide.h"
#include "shell/shortcut_file.h"

namespace {

TEST(ShortcutFile, WrittenTargetsReadBackAndSplit) {
  struct Case {
    std::u16string target;
    const char* program;  // null: no program
    std::vector<std::string> args;
  } cases[] = {
      {u"\"\\Program Files\\Skylode\\Skylode.exe\" /u",
       "\\Program Files\\Skylode\\Skylode.exe",
       {"/u"}},
      {u"\\Windows\\Skylode.exe  a b ", "\\Windows\\Skylode.exe", {"a", "b"}},
      {u"\"\\Z\u00FCrich \U0001F600.exe\"", "\\Z\xC3\xBCrich \xF0\x9F\x98\x80.exe", {}},
      {u"\"\\no closing quote", nullptr, {}},
      {u"", nullptr, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(emu::ToUtf8(c.target));
    std::string target, program;
    std::vector<std::string> args;
    ASSERT_TRUE(emu::ReadShortcut(emu::ShortcutFile(c.target), &target));
    EXPECT_EQ(target, emu::ToUtf8(c.target));
    EXPECT_EQ(emu::SplitShortcutTarget(target, &program, &args), c.program != nullptr);
    if (c.program) {
      EXPECT_EQ(program, c.program);
      EXPECT_EQ(args, c.args);
    }
  }
}

TEST(ShortcutFile, OtherBytesAreNoShortcut) {
  // The count is of UTF-16 characters, in plain decimal; a NUL would cut the
  // target short where it is used.
  const std::string files[] = {
      "", "no hash", "4#abc", "03#abc", "x#", "2#\xF0\x9F\x98\x80z", std::string("3#a\0b", 5)};
  for (const std::string& file : files) {
    std::string target;
    EXPECT_FALSE(emu::ReadShortcut(file, &target)) << file;
  }
  std::string target;
  EXPECT_TRUE(emu::ReadShortcut("2#\xF0\x9F\x98\x80", &target));
}

}  // namespace
