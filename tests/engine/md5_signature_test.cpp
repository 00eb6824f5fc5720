#include "engine/md5_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <stdexcept>

#include "platform/files.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using test::MD5Line;

struct Key {
  Digest digest;
  int32_t size;
};

// Descending (digest unsigned byte by byte, then size signed): the order of the threat databases.
bool Descending(const Key& a, const Key& b) {
  if (a.digest != b.digest) return a.digest > b.digest;
  return a.size > b.size;
}

Digest DigestStartingWith(uint8_t first, uint8_t last = 0) {
  Digest d{};
  d[0] = first;
  d[15] = last;
  return d;
}

class MD5SignatureTest : public ::testing::Test {
 protected:
  void LoadLines(const std::vector<std::string>& lines, const std::string& version = "v1") {
    std::string db;
    for (const std::string& line : lines) db += line + "\r\n";
    test::WriteArchive(path_, db, version);
    set_.Load(path_);
  }

  test::TempDir dir_;
  const std::string path_ = dir_.File("md.c");
  MD5Signature set_;
};

TEST_F(MD5SignatureTest, NewSetIsEmpty) {
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.DatabaseFileSize(), 0);
  EXPECT_EQ(set_.Version(), "");
  EXPECT_EQ(set_.Find(0, Digest{}), nullptr);
  EXPECT_EQ(set_.Find(10, MD5OfString("x")), nullptr);
}

TEST_F(MD5SignatureTest, LoadKeepsFileOrderAndFindsEveryRecord) {
  const Digest a = MD5OfString("a"), b = MD5OfString("b");  // 0CC1..., 92EB...
  LoadLines({MD5Line(b, 300, "Trojan.B"), MD5Line(a, 100, "Worm.A")}, "2009-07-18");
  ASSERT_EQ(set_.Count(), 2);
  EXPECT_EQ(set_.Items(0).NameText(), "Trojan.B");
  EXPECT_EQ(set_.Items(1).Size, 100);
  EXPECT_EQ(set_.Items(1).Digest, a);
  EXPECT_EQ(set_.Version(), "2009-07-18");
  EXPECT_EQ(set_.DatabaseFileSize(), int32_t(*platform::FindFileSize(path_)));
  ASSERT_NE(set_.Find(100, a), nullptr);
  EXPECT_EQ(set_.Find(100, a)->NameText(), "Worm.A");
  EXPECT_EQ(set_.Find(300, b), &set_.Items(0));
}

TEST_F(MD5SignatureTest, SizeOffByOneIsNoMatch) {
  const Digest d = MD5OfString("payload");
  LoadLines({MD5Line(d, 4096, "X")});
  for (int32_t size : {4095, 4097}) {
    EXPECT_EQ(set_.Find(size, d), nullptr) << size;
    EXPECT_FALSE(MD5Signature::Matches(set_.Items(0), size, d)) << size;
  }
  EXPECT_TRUE(MD5Signature::Matches(set_.Items(0), 4096, d));
  Digest other = d;
  other[15] ^= 1;
  EXPECT_FALSE(MD5Signature::Matches(set_.Items(0), 4096, other));
}

TEST_F(MD5SignatureTest, LowerCaseDigestIsFoundLikeUpperCase) {
  const Digest d = MD5OfString("case");
  std::string line = MD5Line(d, 5, "Lower");
  std::transform(line.begin(), line.begin() + 32, line.begin(), [](char c) { return char(std::tolower(c)); });
  LoadLines({line});
  ASSERT_NE(set_.Find(5, d), nullptr);
  EXPECT_EQ(set_.Find(5, d)->NameText(), "Lower");
}

TEST_F(MD5SignatureTest, NamesAreCutTo64Characters) {
  const std::string name64(64, 'n');
  LoadLines({MD5Line(DigestStartingWith(3), 1, name64 + "TAIL"), MD5Line(DigestStartingWith(2), 1, name64),
             MD5Line(DigestStartingWith(1), 1, "  spaced name  ")});
  EXPECT_EQ(set_.Items(0).NameText(), name64);
  EXPECT_EQ(set_.Items(1).NameText(), name64);
  EXPECT_EQ(set_.Items(2).NameText(), "spaced name");  // fields are trimmed
}

TEST_F(MD5SignatureTest, FieldsFollowTheSplittingRules) {
  const Digest d = DigestStartingWith(0x10);
  // An empty field vanishes and later ones move forward; fields past the third are ignored.
  LoadLines({MD5Line(d, 7, "Name:extra:more").replace(32, 1, "::"), MD5Line(DigestStartingWith(0x01), 0, "Z")});
  ASSERT_EQ(set_.Count(), 2);
  EXPECT_EQ(set_.Items(0).Size, 7);
  EXPECT_EQ(set_.Items(0).NameText(), "Name");
}

TEST_F(MD5SignatureTest, OrderIsUnsignedDigestThenSignedSize) {
  // Unsigned bytes: 0x80 sorts above 0x7F; signed sizes: 10 above -1.
  std::vector<Key> keys = {{DigestStartingWith(0x80), 5}, {DigestStartingWith(0x7F), 5},
                           {DigestStartingWith(0x7F, 1), 10}, {DigestStartingWith(0x7F, 1), -1},
                           {DigestStartingWith(0x00), 0}};
  std::sort(keys.begin(), keys.end(), Descending);
  std::vector<std::string> lines;
  for (const Key& k : keys) lines.push_back(MD5Line(k.digest, k.size, "N"));
  LoadLines(lines);
  for (const Key& k : keys) EXPECT_NE(set_.Find(k.size, k.digest), nullptr) << DigestToHex(k.digest) << k.size;
}

TEST_F(MD5SignatureTest, LargeSortedSetFindsPresentAndMissesAbsentKeys) {
  std::mt19937 random(12345);
  std::vector<Key> keys(5000);
  for (Key& k : keys) {
    for (uint8_t& byte : k.digest) byte = uint8_t(random());
    k.size = int32_t(random());
  }
  std::sort(keys.begin(), keys.end(), Descending);
  std::vector<std::string> lines;
  for (size_t i = 0; i < keys.size(); ++i) lines.push_back(MD5Line(keys[i].digest, keys[i].size, std::to_string(i)));
  LoadLines(lines);
  ASSERT_EQ(set_.Count(), 5000);
  for (size_t i = 0; i < keys.size(); ++i) {
    const MD5Record* r = set_.Find(keys[i].size, keys[i].digest);
    ASSERT_NE(r, nullptr) << i;
    EXPECT_EQ(r->NameText(), std::to_string(i));
    EXPECT_EQ(set_.Find(keys[i].size ^ 1, keys[i].digest), nullptr) << i;
  }
}

TEST_F(MD5SignatureTest, UnsortedSetMayMissRecordsThatSortedSetFinds) {
  std::vector<Key> keys = {{DigestStartingWith(1), 1}, {DigestStartingWith(2), 1}, {DigestStartingWith(3), 1}};
  auto load = [&] {
    std::vector<std::string> lines;
    for (const Key& k : keys) lines.push_back(MD5Line(k.digest, k.size, "N"));
    LoadLines(lines);
  };
  load();  // ascending: the search walks away from the smallest key
  EXPECT_EQ(set_.Find(1, DigestStartingWith(1)), nullptr);
  std::sort(keys.begin(), keys.end(), Descending);
  load();
  for (const Key& k : keys) EXPECT_NE(set_.Find(k.size, k.digest), nullptr);
}

TEST_F(MD5SignatureTest, NegativeSizeNeverMatches) {
  const Digest d = MD5OfString("neg");
  LoadLines({MD5Line(d, -5, "Negative")});
  ASSERT_EQ(set_.Count(), 1);
  EXPECT_EQ(set_.Items(0).Size, -5);
  EXPECT_FALSE(MD5Signature::Matches(set_.Items(0), -5, d));
  EXPECT_FALSE(MD5Signature::Matches(MD5Record{}, -1, Digest{}));
}

TEST_F(MD5SignatureTest, MissingFileEmptiesSetButKeepsVersion) {
  LoadLines({MD5Line(MD5OfString("a"), 1, "A")}, "kept");
  set_.Load(dir_.File("absent.c"));
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.DatabaseFileSize(), -1);
  EXPECT_EQ(set_.Version(), "kept");
  EXPECT_EQ(set_.Find(1, MD5OfString("a")), nullptr);
}

TEST_F(MD5SignatureTest, UnreadableArchiveStillRecordsFileSize) {
  test::WriteBytes(path_, "not an archive");
  set_.Load(path_);
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.DatabaseFileSize(), 14);
}

TEST_F(MD5SignatureTest, ClearKeepsVersionAndFileSize) {
  LoadLines({MD5Line(MD5OfString("a"), 1, "A")}, "ver");
  const int32_t size = set_.DatabaseFileSize();
  set_.Clear();
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.Find(1, MD5OfString("a")), nullptr);
  EXPECT_EQ(set_.Version(), "ver");
  EXPECT_EQ(set_.DatabaseFileSize(), size);
}

TEST_F(MD5SignatureTest, ReloadReplacesEarlierRecords) {
  LoadLines({MD5Line(MD5OfString("a"), 1, "A")});
  LoadLines({MD5Line(MD5OfString("b"), 2, "B")});
  EXPECT_EQ(set_.Count(), 1);
  EXPECT_EQ(set_.Find(1, MD5OfString("a")), nullptr);
  EXPECT_NE(set_.Find(2, MD5OfString("b")), nullptr);
}

TEST_F(MD5SignatureTest, MalformedLineStopsLoadAndKeepsEarlierRecordsFindable) {
  const Digest first = DigestStartingWith(0xF0), second = DigestStartingWith(0xE0);
  const std::string good1 = MD5Line(first, 10, "First"), good2 = MD5Line(second, 20, "Second");
  const std::string hex = DigestToHex(DigestStartingWith(0x01));
  const struct {
    const char* what;
    std::string line;
    bool indexError;  // std::out_of_range rather than std::invalid_argument
  } kCases[] = {
      {"empty line", "", true},
      {"two fields", hex + ":12", true},
      {"blank fields only", hex + ": :  :", true},
      {"size with letters", hex + ":12a:N", false},
      {"size with a fraction", hex + ":1.5:N", false},
      {"size out of range", hex + ":2147483648:N", false},
      {"digest not hexadecimal", "ZZ" + hex.substr(2) + ":1:N", false},
      {"digest too short", hex.substr(0, 30) + ":1:N", false},
  };
  for (const auto& c : kCases) {
    set_ = MD5Signature();
    std::string db = good1 + "\r\n" + good2 + "\r\n" + c.line + "\r\n" + MD5Line(DigestStartingWith(0), 1, "Later");
    test::WriteArchive(path_, db, "v");
    if (c.indexError) EXPECT_THROW(set_.Load(path_), std::out_of_range) << c.what;
    else EXPECT_THROW(set_.Load(path_), std::invalid_argument) << c.what;
    EXPECT_EQ(set_.Count(), 0) << c.what;
    EXPECT_EQ(set_.Version(), "v") << c.what;
    ASSERT_NE(set_.Find(10, first), nullptr) << c.what;
    EXPECT_NE(set_.Find(20, second), nullptr) << c.what;
    EXPECT_EQ(set_.Find(1, DigestStartingWith(0)), nullptr) << c.what;
    for (int32_t i : {2, 3}) {  // the slots of the bad line and of the line after it stay zeroed
      EXPECT_EQ(set_.Items(i).Size, 0) << c.what;
      EXPECT_EQ(set_.Items(i).Digest, Digest{}) << c.what;
      EXPECT_EQ(set_.Items(i).NameText(), "") << c.what;
    }
  }
}

TEST_F(MD5SignatureTest, SizeFieldAcceptsDollarHexLikeOtherIntegerFields) {
  LoadLines({MD5Line(MD5OfString("h"), 0, "H").replace(33, 1, "$1F")});
  EXPECT_EQ(set_.Items(0).Size, 31);
}

TEST_F(MD5SignatureTest, ItemsOutOfRangeReadAsZeroedRecord) {
  LoadLines({MD5Line(MD5OfString("a"), 1, "A")});
  for (int32_t i : {-1, 1, 1000}) {
    EXPECT_EQ(set_.Items(i).Size, 0) << i;
    EXPECT_EQ(set_.Items(i).NameText(), "") << i;
  }
}

}  // namespace
}  // namespace vermilax
