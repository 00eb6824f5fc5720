#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/zip_reader.h"
#include "engine/zip_writer.h"
#include "env/text_utils.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using test::BuildZip;
using test::ZipSource;

std::string AllByteValues(size_t length) {
  std::string data(length, '\0');
  for (size_t i = 0; i < length; ++i) data[i] = char((i * 131 + i / 7) & 0xFF);
  return data;
}

void Put16(std::string& zip, size_t pos, uint16_t v) {
  zip[pos] = char(v & 0xFF);
  zip[pos + 1] = char(v >> 8);
}

void Put32(std::string& zip, size_t pos, uint32_t v) {
  Put16(zip, pos, uint16_t(v & 0xFFFF));
  Put16(zip, pos + 2, uint16_t(v >> 16));
}

// Offset of the first central directory record, from the end record.
size_t CentralOffset(const std::string& zip) { return ReadUInt32LE(zip.data() + zip.size() - 22 + 16); }

TEST(Zip, RoundTripOfStoredAndDeflatedEntries) {
  const std::vector<ZipSource> sources = {
      {"DB", "line one\r\nline two\r\n", 9},
      {"ver", "2009.07.18", 0},
      {"empty", "", 9},
      {"empty-stored", "", 0},
      {"binary", AllByteValues(70000), 1},
      {"binary-stored", AllByteValues(3000), 0},
      {"repetitive", std::string(1 << 20, 'x'), 6},  // inflates far past the first output block
  };
  const std::string zip = BuildZip(sources);
  ZipReader reader;
  ASSERT_TRUE(reader.Open(zip));
  ASSERT_EQ(reader.Entries().size(), sources.size());
  for (const ZipSource& source : sources) {
    const ZipEntry* entry = reader.Find(source.name);
    ASSERT_NE(entry, nullptr) << source.name;
    EXPECT_EQ(entry->method, source.level == 0 ? 0 : 8) << source.name;
    std::string out = "stale";
    EXPECT_TRUE(reader.Extract(*entry, out)) << source.name;
    EXPECT_EQ(out, source.data) << source.name;
  }
}

TEST(Zip, FindComparesNamesExactlyUnlessAskedToIgnoreCase) {
  ZipReader reader;
  const std::string zip = BuildZip({{"Db", "x"}});
  ASSERT_TRUE(reader.Open(zip));
  EXPECT_EQ(reader.Find("DB"), nullptr);
  ASSERT_NE(reader.Find("DB", true), nullptr);
  EXPECT_EQ(reader.Find("D", true), nullptr);
}

TEST(Zip, StandardToolAcceptsWrittenArchive) {
#ifdef _WIN32
  GTEST_SKIP() << "no unzip tool on this platform";
#else
  if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not installed";
  test::TempDir dir;
  const std::string path = dir.File("t.zip");
  test::WriteBytes(path, BuildZip({{"DB", AllByteValues(50000), 9}, {"ver", "1", 0}, {"e", "", 5}}));
  EXPECT_EQ(std::system(("unzip -tqq '" + path + "' >/dev/null 2>&1").c_str()), 0);
#endif
}

TEST(Zip, WriterRejectsInvalidLevel) {
  ZipWriter writer;
  EXPECT_FALSE(writer.AddEntry("a", "x", -1));
  EXPECT_FALSE(writer.AddEntry("a", "x", 10));
  ZipReader reader;
  const std::string zip = writer.Finish();
  ASSERT_TRUE(reader.Open(zip));  // an empty archive is still an archive
  EXPECT_TRUE(reader.Entries().empty());
}

TEST(Zip, OpenFindsEndRecordBehindCommentEvenIfCommentHoldsSignature) {
  std::string zip = BuildZip({{"a", "alpha", 0}});
  // A comment that itself contains an end-record signature with nonsense after it.
  const std::string comment = std::string("PK\x05\x06", 4) + std::string(18, '\xFF') + "tail";
  Put16(zip, zip.size() - 2, uint16_t(comment.size()));
  zip += comment;
  ZipReader reader;
  ASSERT_TRUE(reader.Open(zip));
  std::string out;
  ASSERT_NE(reader.Find("a"), nullptr);
  EXPECT_TRUE(reader.Extract(*reader.Find("a"), out));
  EXPECT_EQ(out, "alpha");
}

TEST(Zip, OpenRejectsBytesThatAreNoArchive) {
  const std::string good = BuildZip({{"a", "alpha", 9}});
  std::string badCount = good;
  Put16(badCount, badCount.size() - 22 + 8, 2);  // claims two entries, holds one
  Put16(badCount, badCount.size() - 22 + 10, 2);
  std::string badDirectoryOffset = good;
  Put32(badDirectoryOffset, badDirectoryOffset.size() - 22 + 16, 0xFFFFFFF0u);
  std::string spanned = good;
  Put16(spanned, spanned.size() - 22 + 4, 1);
  const struct {
    const char* what;
    std::string bytes;
  } kCases[] = {
      {"empty", ""},
      {"too short", "PK\x05\x06"},
      {"text", std::string(100, 'a')},
      {"count beyond directory", badCount},
      {"directory offset beyond data", badDirectoryOffset},
      {"spanned archive", spanned},
      {"end record cut off", good.substr(0, good.size() - 1)},
  };
  for (const auto& c : kCases) {
    ZipReader reader;
    EXPECT_FALSE(reader.Open(c.bytes)) << c.what;
    EXPECT_TRUE(reader.Entries().empty()) << c.what;
  }
}

// Each case damages the one entry of a fresh archive through its central record.
TEST(Zip, ExtractRejectsDamagedEntries) {
  const std::string payload = "some text that deflates, some text that deflates";
  const struct {
    const char* what;
    int level;
    size_t field;  // offset inside the central record
    uint32_t value;
    bool wide;
  } kCases[] = {
      {"encrypted flag", 9, 8, 0x0001, false},
      {"unknown method", 9, 10, 12, false},
      {"wrong checksum", 9, 16, 0x12345678, true},
      {"declared size too small (deflated)", 9, 24, 10, true},
      {"declared size too large (deflated)", 9, 24, 1000, true},
      {"declared size beyond the limit", 9, 24, 0xFFFFFFFF, true},
      {"stored sizes differ", 0, 24, 10, true},
      {"compressed size beyond data", 9, 20, 0x7FFFFFFF, true},
      {"compressed size cut short", 9, 20, 5, true},
      {"local header beyond data", 9, 42, 0xFFFFFFF0u, true},
      {"local header misplaced", 9, 42, 1, true},
  };
  for (const auto& c : kCases) {
    std::string zip = BuildZip({{"a", payload, c.level}});
    const size_t central = CentralOffset(zip);
    if (c.wide) Put32(zip, central + c.field, c.value);
    else Put16(zip, central + c.field, uint16_t(c.value));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(zip)) << c.what;
    std::string out = "stale";
    EXPECT_FALSE(reader.Extract(reader.Entries().at(0), out)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

TEST(Zip, ExtractRejectsFlippedDataByte) {
  for (int level : {0, 9}) {
    std::string zip = BuildZip({{"a", AllByteValues(500), level}});
    zip[30 + 1 + 20] ^= 0x01;  // a byte inside the entry data, behind the header and name
    ZipReader reader;
    ASSERT_TRUE(reader.Open(zip));
    std::string out;
    EXPECT_FALSE(reader.Extract(reader.Entries().at(0), out)) << level;
  }
}

TEST(Zip, ExtractHonoursCallerLimit) {
  const std::string zip = BuildZip({{"a", std::string(5000, 'z'), 9}});
  ZipReader reader;
  ASSERT_TRUE(reader.Open(zip));
  std::string out;
  EXPECT_FALSE(reader.Extract(reader.Entries().at(0), out, 4999));
  EXPECT_TRUE(reader.Extract(reader.Entries().at(0), out, 5000));
}

TEST(Zip, DeflatedEntryLongerThanDeclaredStopsAtDeclaredSize) {
  // One mebibyte of zeros declared as 100 bytes: inflation must stop early, not fill memory.
  std::string zip = BuildZip({{"a", std::string(1 << 20, '\0'), 9}});
  Put32(zip, CentralOffset(zip) + 24, 100);
  ZipReader reader;
  ASSERT_TRUE(reader.Open(zip));
  std::string out;
  EXPECT_FALSE(reader.Extract(reader.Entries().at(0), out));
  EXPECT_LT(out.capacity(), size_t(1) << 20);
}

TEST(Zip, EveryTruncationAndByteFlipIsHandled) {
  const std::string zip = BuildZip({{"DB", "abc\r\ndef\r\n", 9}, {"ver", "7", 0}});
  auto exercise = [](const std::string& bytes) {
    ZipReader reader;
    if (!reader.Open(bytes)) return;
    std::string out;
    for (const ZipEntry& entry : reader.Entries()) reader.Extract(entry, out);
  };
  for (size_t cut = 0; cut < zip.size(); ++cut) exercise(zip.substr(0, cut));
  for (size_t pos = 0; pos < zip.size(); ++pos) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::string damaged = zip;
      damaged[pos] = char(uint8_t(damaged[pos]) ^ mask);
      exercise(damaged);
    }
  }
  SUCCEED();  // reaching here without a crash (or a sanitizer report) is the test
}

}  // namespace
}  // namespace vermilax
