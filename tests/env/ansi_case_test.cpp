#include "env/ansi_case.h"

#include <gtest/gtest.h>

namespace vermilax {
namespace {

TEST(AnsiCase, ConvertsLettersAndKeepsEverythingElse) {
  const std::string mixed("C:\\Program Files\\Setup_1.EXE\0x", 29);
  EXPECT_EQ(LowerCaseAnsi(mixed), std::string("c:\\program files\\setup_1.exe\0x", 29));
  EXPECT_EQ(UpperCaseAnsi(mixed), std::string("C:\\PROGRAM FILES\\SETUP_1.EXE\0X", 29));
  EXPECT_EQ(LowerCaseAnsi(""), "");
}

TEST(AnsiCase, ComparesWithoutRegardToCase) {
  EXPECT_TRUE(SameTextAnsi("C:\\WINDOWS\\Explorer.exe", "c:\\windows\\explorer.EXE"));
  EXPECT_FALSE(SameTextAnsi("a.exe", "a.ex"));
  EXPECT_FALSE(SameTextAnsi("a.exe", "b.exe"));
  EXPECT_TRUE(SameTextAnsi("", ""));
}

#ifndef _WIN32
TEST(AnsiCase, NativeBuildsLeaveBytesAboveAsciiAlone) {
  EXPECT_EQ(LowerCaseAnsi("\xC4\xD6Z"), "\xC4\xD6z");
}
#endif

}  // namespace
}  // namespace vermilax
