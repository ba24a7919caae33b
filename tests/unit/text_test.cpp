#include "support/text.h"

#include <gtest/gtest.h>

#include "support/unicode.h"

namespace setup {
namespace {

// Shift-JIS style: 0x81..0x9F and 0xE0..0xFC lead a double-byte character
// whose trail byte may look like '\' or a lower-case letter.
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

class DoubleByteText : public ::testing::Test {
 protected:
  void SetUp() override { SetLeadByteTest(ShiftJisLead); }
  void TearDown() override { SetLeadByteTest(nullptr); }
};

TEST_F(DoubleByteText, TrailBytesAreNeverTakenForSeparatorsOrLetters) {
  const std::string kanji = "\x95\x5C";  // trail byte 0x5C is '\'
  std::string path = "C:\\" + kanji;
  TrimTrailing(path, '\\');
  EXPECT_EQ(path, "C:\\" + kanji);
  EXPECT_EQ(FindLastChar("C:\\" + kanji, '\\'), 2u);
  EXPECT_EQ(ToUpper("a\x82"
                    "a"),
            "A\x82"
            "a");  // 0x82 0x61 is one character
  EXPECT_EQ(FindText("\x82"
                     "ab",
                     "ab"),
            std::string::npos);
  EXPECT_EQ(FindText("\x82"
                     "aab",
                     "ab"),
            2u);
}

TEST(Text, TrimmingAndFolders) {
  struct Row {
    std::string in, trimmed, folder;
  } rows[] = {
      {"C:\\Temp\\\\\\", "C:\\Temp", "C:\\Temp\\"},
      {"C:", "C:", "C:\\"},
      {"", "", "\\"},
      {"\\\\", "", "\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    std::string s = row.in;
    TrimTrailing(s, '\\');
    EXPECT_EQ(s, row.trimmed);
    EXPECT_EQ(WithOneTrailingBackslash(row.in), row.folder);
  }
}

TEST(Text, IntToTextAndLeadingIntegers) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-5), "-5");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
  struct Row {
    std::string in;
    int64_t value;
  } rows[] = {{" 1200 bytes", 1200},
              {"abc", 0},
              {"", 0},
              {"-17", -17},
              {"+8x", 8},
              {"\t\n42", 42},
              {"99999999999999999999999", INT64_MAX}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    EXPECT_EQ(ParseLeadingInteger(row.in), row.value);
  }
}

TEST(Text, StrictUtf8) {
  struct Row {
    const char* name;
    std::string text;
    bool valid;
  } rows[] = {
      {"ASCII", "Setup.msi", true},
      {"empty", "", true},
      {"two bytes", "Caf\xC3\xA9", true},
      {"three bytes", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true},
      {"four bytes", "\xF0\x9F\x93\x80", true},
      {"the last scalar value U+10FFFF", "\xF4\x8F\xBF\xBF", true},
      {"U+FFFF", "\xEF\xBF\xBF", true},
      {"before the surrogates U+D7FF", "\xED\x9F\xBF", true},
      {"after the surrogates U+E000", "\xEE\x80\x80", true},
      {"a Windows-1252 byte", "Caf\xE9", false},
      {"a lone continuation byte", "\x80", false},
      {"a lead byte at the end", "a\xC3", false},
      {"a lead byte before ASCII",
       "\xC3"
       "a",
       false},
      {"a three-byte form cut short", "\xE6\x97", false},
      {"overlong slash C0 AF", "\xC0\xAF", false},
      {"overlong C1 BF", "\xC1\xBF", false},
      {"overlong three bytes E0 80 AF", "\xE0\x80\xAF", false},
      {"overlong four bytes F0 8F BF BF", "\xF0\x8F\xBF\xBF", false},
      {"surrogate U+D800", "\xED\xA0\x80", false},
      {"surrogate U+DFFF", "\xED\xBF\xBF", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
      {"F5 and above", "\xF5\x80\x80\x80", false},
      {"FF", "\xFF", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsValidUtf8(row.text), row.valid);
  }
}

// Names pass between the program's UTF-8 and Windows' UTF-16 unchanged, or
// not at all.
TEST(Unicode, NamesRoundTripAndInvalidSequencesAreRefused) {
  const std::u16string kCyrillic = u"C:\\Программы\\App";
  const std::u16string kJapanese = u"Z:\\表\\ソ\\日本語.msi";
  const std::u16string kMixed = u"Caf\u00e9 \U0001F600 \u4E2D\u6587\\x";
  for (const std::u16string& name : {kCyrillic, kJapanese, kMixed, std::u16string()}) {
    const std::optional<std::string> utf8 = Utf16ToUtf8(name);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(Utf8ToUtf16<std::u16string>(*utf8), name);
  }
  EXPECT_EQ(Utf16ToUtf8(u"Caf\u00e9\U0001F600"), "Caf\xC3\xA9\xF0\x9F\x98\x80");
  // UTF-8 holds no byte below 0x80 inside a character: '\' stays a separator.
  EXPECT_EQ(FindLastChar(*Utf16ToUtf8(u"\u0401\\\u8868"), '\\'), 2u);

  const char16_t kLoneHigh[] = {u'a', 0xD83D, u'b'};
  const char16_t kLoneLow[] = {0xDE00, 0xDE01};
  const char16_t kHighAtEnd[] = {u'a', 0xD83D};
  // Exactly as long as given (no terminator), so no check reads past them.
  EXPECT_FALSE(Utf16ToUtf8(kLoneHigh, 3));
  EXPECT_FALSE(Utf16ToUtf8(kLoneLow, 2));
  EXPECT_FALSE(Utf16ToUtf8(kHighAtEnd, 2));
  for (const char* bad : {"\x80", "a\xC3", "\xC3(", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xF9\x90\x80\x80", "\xFF", "\xE2\x82"}) {
    EXPECT_FALSE(Utf8ToUtf16<std::u16string>(bad)) << bad;
  }
  EXPECT_EQ(Utf8ToUtf16<std::u16string>("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
  EXPECT_EQ(Utf8ToUtf16<std::u16string>("\xEF\xBF\xBF\xC2\x80"), (std::u16string{0xFFFF, 0x80}));
}

}  // namespace
}  // namespace setup
