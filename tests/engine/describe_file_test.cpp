#include <gtest/gtest.h>

#include "engine/md5.h"
#include "engine/pe_scanner_ex.h"
#include "platform/files.h"
#include "support/pe_writer.h"
#include "support/scratch_file.h"

namespace vermilax {
namespace {

using test::PeBuilder;

std::string Describe(const std::string& bytes) {
  test::ScratchFile file(bytes, ".exe");
  return DescribeFile(file.path(), false);
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    text += ' ';
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

TEST(DescribeFile, ListsDigestEntryPointAndSections) {
  PeBuilder builder;
  builder.entry_point_bytes = "\x55\x8B\xEC\x6A\xFF";
  test::BuiltPe built = builder.BuildWithLayout();
  const std::string& bytes = built.bytes;
  std::string expected = "\tMD5: " + DigestToHex(MD5OfString(bytes)) + ":1536\r\n";
  expected += "\tEP:" + HexBytes(bytes.substr(0x200, 64)) + "\r\n";
  expected += "\tSEC:\r\n";
  expected += "\t\t.text:" + DigestToHex(MD5OfString(bytes.substr(0x200, 0x200))) + ":512\r\n";
  expected += "\t\t.data:" + DigestToHex(MD5OfString(bytes.substr(0x400, 0x200))) + ":512\r\n";
  EXPECT_EQ(Describe(bytes), expected);
  EXPECT_NE(expected.find("\tEP: 55 8B EC 6A FF"), std::string::npos);
}

TEST(DescribeFile, ListsOnlyTheEntryPointBytesRead) {
  PeBuilder builder;
  builder.entry_point = 0x2200 - 10;  // 10 bytes before the end of the file
  std::string bytes = builder.Build();
  std::string text = Describe(bytes);
  EXPECT_NE(text.find("\tEP:" + HexBytes(bytes.substr(bytes.size() - 10)) + "\r\n\tSEC:"), std::string::npos)
      << text;
}

TEST(DescribeFile, EmptyForFilesWithoutSectionsInTheirHeader) {
  EXPECT_EQ(Describe("just some text\r\n"), "");
  EXPECT_EQ(Describe(""), "");
  EXPECT_EQ(Describe(test::NeProgramBuilder().Build()), "");
  EXPECT_EQ(DescribeFile(platform::TempFolder() + "vermilax-missing.exe", false), "");
}

TEST(DescribeFile, HeaderCountWithoutSectionsGivesTheFirstLines) {
  PeBuilder builder;
  builder.number_of_sections = 97;
  std::string bytes = builder.Build();
  EXPECT_EQ(Describe(bytes),
            "\tMD5: " + DigestToHex(MD5OfString(bytes)) + ":" + std::to_string(bytes.size()) + "\r\n\tEP:\r\n\tSEC:\r\n");
}

TEST(DescribeFile, SectionsTheAnalysisDidNotReachAreZero) {
  PeBuilder builder;
  test::PeSection third;
  third.name = ".rsrc";
  third.data = "resources";
  builder.sections.push_back(third);
  builder.sections[1].virtual_address = 0x5000;  // not contiguous: the analysis stops at section 1
  std::string text = Describe(builder.Build());
  EXPECT_NE(text.find("\tEP:\r\n"), std::string::npos) << text;
  const std::string zero_entry = "\t\t:" + std::string(32, '0') + ":0\r\n";
  ASSERT_GE(text.size(), zero_entry.size());
  EXPECT_EQ(text.substr(text.size() - zero_entry.size()), zero_entry);
  EXPECT_NE(text.find("\t\t.data:"), std::string::npos);
}

}  // namespace
}  // namespace vermilax
