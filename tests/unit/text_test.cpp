#include "support/text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace setup
