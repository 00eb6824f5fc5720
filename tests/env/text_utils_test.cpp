#include "env/text_utils.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

namespace vermilax {
namespace {

using Lines = std::vector<std::string>;

TEST(TrimText, RemovesControlCharactersAndBlanksAtBothEndsOnly) {
  EXPECT_EQ(TrimText(std::string("\0\t a b \r\n\x1f", 9)), "a b");
  EXPECT_EQ(TrimText(" \t "), "");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("\xA0x\xA0"), "\xA0x\xA0");  // high bytes are text, not blanks
}

TEST(SplitString, TrimsFieldsAndDropsEmptyOnes) {
  const struct {
    char separator;
    const char* text;
    Lines expected;
  } kCases[] = {
      {'\t', "a\t\t b \t", {"a", "b"}},
      {':', "D41D:123:Trojan.X", {"D41D", "123", "Trojan.X"}},
      {':', "D41D::123: name with blanks :", {"D41D", "123", "name with blanks"}},
      {':', "", {}},
      {':', ":::", {}},
      {',', "one", {"one"}},
      {',', " , a ,, b ,", {"a", "b"}},
  };
  for (const auto& c : kCases) {
    Lines list{"stale"};
    SplitString(c.separator, c.text, list);
    EXPECT_EQ(list, c.expected) << c.text;
  }
}

TEST(StripCommandArguments, CutsAtSlashThenAtBlankDash) {
  const struct {
    const char* in;
    const char* out;
  } kCases[] = {
      {"c:\\x\\y.exe /min -s", "c:\\x\\y.exe"},
      {"c:\\x\\y.exe -s", "c:\\x\\y.exe"},
      {"  c:\\x\\y.exe  ", "c:\\x\\y.exe"},
      {"c:\\x-y\\y.exe", "c:\\x-y\\y.exe"},  // a dash without a blank before it stays
      {"/all", ""},
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(StripCommandArguments(c.in), c.out) << c.in;
}

TEST(GetCommandLineParam, SplitsLikeTheSystemSplitsProgramArguments) {
  const struct {
    const char* line;
    int n;
    const char* out;
  } kCases[] = {
      {"\"C:\\Program Files\\a.exe\" x", 0, "C:\\Program Files\\a.exe"},
      {"\"C:\\Program Files\\a.exe\" x", 1, "x"},
      {"\"C:\\Program Files\\a.exe\" x", 2, ""},
      {"\"\"c:\\a.exe x", 0, "c:\\a.exe"},
      {"\"\" \"\" c:\\a.exe x", 0, "c:\\a.exe"},
      {"a\"b c\"d e", 0, "ab cd"},  // quotes switch quoting inside a token
      {"\t a \t b ", 1, "b"},
      {"a \"unterminated b", 1, "unterminated b"},
      {"a \"\" b", 1, "b"},   // a pair of quotes before a token is skipped
      {"a \"", 1, ""},        // a lone final quote gives an empty token
      {"", 0, ""},
      {"a", -1, ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(GetCommandLineParam(c.line, c.n), c.out) << c.line << " #" << c.n;
}

TEST(HexPairToByte, AcceptsTwoUpperCaseDigitsOnly) {
  const struct {
    const char* in;
    int out;
  } kCases[] = {{"4F", 79}, {"00", 0}, {"FF", 255}, {"A0", 160}, {"4f", 0}, {"4", 0}, {"4F0", 0}, {"", 0}, {"G1", 0}};
  for (const auto& c : kCases) EXPECT_EQ(HexPairToByte(c.in), c.out) << c.in;
}

TEST(ReadUInt32LE, ReadsLittleEndianAtAnyAlignment) {
  const uint8_t bytes[] = {0xAA, 0x78, 0x56, 0x34, 0x12, 0xFF};
  EXPECT_EQ(ReadUInt32LE(bytes + 1), 0x12345678u);
  EXPECT_EQ(ReadUInt32LE(bytes + 2), 0xFF123456u);
}

TEST(XorString, IsItsOwnInverseAndKeepsLength) {
  std::string data;
  for (int i = 0; i < 256; ++i) data += char(i);
  std::string once = XorString(data, 0x9E);
  ASSERT_EQ(once.size(), data.size());
  EXPECT_EQ(uint8_t(once[0]), 0x9E);
  EXPECT_EQ(uint8_t(once[0x9E]), 0);
  EXPECT_EQ(XorString(once, 0x9E), data);
  EXPECT_EQ(XorString("", 0x9E), "");
}

TEST(ExtractNameFromPath, TakesTextAfterLastBackslashOrColon) {
  const struct {
    const char* in;
    const char* out;
  } kCases[] = {
      {"C:\\Windows\\notepad.exe", "notepad.exe"},
      {"C:notepad.exe", "notepad.exe"},
      {"notepad.exe", "notepad.exe"},
      {"C:\\Windows\\", ""},
      {"a/b/c.exe", "a/b/c.exe"},  // a forward slash is no separator here
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(ExtractNameFromPath(c.in), c.out) << c.in;
}

TEST(ExtractNameFromPath, IgnoresBackslashThatIsSecondByteOfDoubleByteCharacter) {
  // Bytes 0x81-0x9F lead double-byte characters in this fake code page, as in
  // Japanese Shift-JIS, where 0x5C (backslash) is a valid second byte.
  auto shiftJisLike = [](uint8_t b) { return b >= 0x81 && b <= 0x9F; };
  const std::string folder = "C:\\\x95\x5C\\";  // a folder whose one character ends in 0x5C
  EXPECT_EQ(ExtractNameFromPath(folder + "a.exe", shiftJisLike), "a.exe");
  EXPECT_EQ(ExtractNameFromPath("C:\\dir\\x\x95\x5Cy.exe", shiftJisLike), "x\x95\x5Cy.exe");
  // Single-byte code page: the same byte is a separator.
  EXPECT_EQ(ExtractNameFromPath("C:\\dir\\x\x95\x5Cy.exe", [](uint8_t) { return false; }), "y.exe");
  // A lead byte at the very end has no trail byte to swallow.
  EXPECT_EQ(ExtractNameFromPath("a\\b\x95", shiftJisLike), "b\x95");
}

TEST(ExtractUrlFileName, TakesTextAfterLastSlash) {
  EXPECT_EQ(ExtractUrlFileName("http://host/path/md.c"), "md.c");
  EXPECT_EQ(ExtractUrlFileName("http://host/"), "");
  EXPECT_EQ(ExtractUrlFileName("md.c"), "md.c");
}

TEST(StrToInt, AcceptsSignedDecimalAndDollarOrZeroXHex) {
  const struct {
    const char* in;
    int32_t out;
  } kCases[] = {
      {"0", 0},
      {"123", 123},
      {"+7", 7},
      {"-12", -12},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"$1F", 31},
      {"$ff", 255},
      {"-$10", -16},
      {"0x10", 16},
      {"$FFFFFFFF", -1},
      {" 42", 42},  // leading blanks are skipped
  };
  for (const auto& c : kCases) EXPECT_EQ(StrToInt(c.in), c.out) << c.in;
}

TEST(StrToInt, RejectsMalformedOrOutOfRangeText) {
  for (const char* bad : {"", "-", "+", "$", "0x", "12a", "1 2", "42 ", "1.5", "2147483648", "-2147483649",
                          "$100000000", "99999999999999999999", "--1", "0x-1"}) {
    EXPECT_THROW(StrToInt(bad), std::invalid_argument) << bad;
  }
}

}  // namespace
}  // namespace vermilax
