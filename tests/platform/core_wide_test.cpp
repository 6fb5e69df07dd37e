// Text conversion between the handheld's UTF-16 and the host's UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "core/wide.h"

namespace {

// Every ill-formed UTF-8 sequence is refused by the strict decoder (at its
// offset) and read as U+FFFD by the lenient one, never as another character.
TEST(WideTest, Utf8DecodersRefuseIllFormedSequences) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string text;  // lenient
    size_t bad;           // strict: offset of the first ill-formed byte; npos: well-formed
  } cases[] = {
      {"ASCII", "a/b", u"a/b", std::string::npos},
      {"two, three and four bytes", "\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80",
       u"\u00FC\u20AC\U0001F600", std::string::npos},
      {"the highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", std::string::npos},
      {"overlong '/' in two bytes", "a\xC0\xAF", u"a\uFFFD\uFFFD", 1},
      {"overlong NUL", "\xC1\x80", u"\uFFFD\uFFFD", 0},
      {"overlong in three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", 0},
      {"overlong in four bytes", "\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
      {"a high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", 0},
      {"a low surrogate", "x\xED\xBF\xBF", u"x\uFFFD\uFFFD\uFFFD", 1},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
      {"F5 and above", "\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
      {"a lone continuation byte", "ab\x80", u"ab\uFFFD", 2},
      {"cut short", "\xE2\x82", u"\uFFFD\uFFFD", 0},
      {"cut short before ASCII", "\xE2\x82z", u"\uFFFD\uFFFDz", 0},
      {"FF", "\xFF", u"\uFFFD", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(emu::FromUtf8(c.bytes), c.text);
    std::u16string strict;
    size_t bad = std::string::npos;
    EXPECT_EQ(emu::DecodeUtf8(c.bytes, &strict, &bad), c.bad == std::string::npos);
    EXPECT_EQ(bad, c.bad);
    if (c.bad == std::string::npos) {
      EXPECT_EQ(strict, c.text);
      std::string back;
      EXPECT_TRUE(emu::EncodeUtf8(strict, &back));
      EXPECT_EQ(back, c.bytes);
    }
  }
}

TEST(WideTest, Utf16DecoderRefusesLoneSurrogatesAndLoneBytes) {
  struct Case {
    const char* name;
    std::string bytes;
    size_t bad;  // npos: well-formed
  } cases[] = {
      {"text", std::string("a\0\xAC\x20", 4), std::string::npos},
      {"a pair", std::string("\x3D\xD8\x00\xDE", 4), std::string::npos},
      {"a lone high surrogate",
       std::string("a\0\x3D\xD8"
                   "b\0",
                   6),
       2},
      {"a high surrogate at the end", std::string("\x3D\xD8", 2), 0},
      {"a lone low surrogate", std::string("\x00\xDE", 2), 0},
      {"an odd byte", std::string("a\0b", 3), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text;
    size_t bad = std::string::npos;
    EXPECT_EQ(emu::DecodeUtf16Le(c.bytes, &text, &bad), c.bad == std::string::npos);
    EXPECT_EQ(bad, c.bad);
    if (c.bad == std::string::npos) {
      EXPECT_EQ(emu::EncodeUtf16Le(text), c.bytes);
    }
  }
  // Text with a lone surrogate has no UTF-8 form: refused, or U+FFFD.
  std::string utf8;
  size_t bad = 0;
  EXPECT_FALSE(emu::EncodeUtf8(u"ab\xDC00", &utf8, &bad));
  EXPECT_EQ(bad, 2u);
  EXPECT_EQ(emu::ToUtf8(u"ab\xDC00"), "ab\xEF\xBF\xBD");
}

}  // namespace
