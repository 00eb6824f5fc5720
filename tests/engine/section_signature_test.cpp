#include "engine/section_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <stdexcept>

#include "support/archive_builder.h"
#include "support/pe_analysis.h"
#include "support/pe_writer.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

// One line of "smd.c": the size comes first, then the digest.
std::string SectionLine(int64_t size, const Digest& digest, std::string_view name) {
  return std::to_string(size) + ":" + DigestToHex(digest) + ":" + std::string(name);
}

std::string Padded(std::string data, size_t size) {
  data.resize(size, '\0');
  return data;
}

test::PeSection NamedSection(std::string name, std::string data) {
  test::PeSection section;
  section.name = std::move(name);
  section.data = std::move(data);
  return section;
}

SectionInfo Section(uint32_t alignedRawSize, const Digest& digest) {
  SectionInfo section;
  section.AlignedRawSize = alignedRawSize;
  section.Digest = digest;
  return section;
}

// The lookup as plainly stated: every record against every section, in file
// order; the last record that matches any section wins.
const MD5Record* NaiveFindSection(const SecMD5Signature& set, const std::vector<SectionInfo>& sections) {
  const MD5Record* candidate = nullptr;
  for (int32_t r = 0; r < set.Count(); ++r) {
    for (const SectionInfo& s : sections) {
      if (SecMD5Signature::Matches(set.Items(r), int32_t(s.AlignedRawSize), s.Digest)) {
        candidate = &set.Items(r);
        break;
      }
    }
  }
  return candidate;
}

class SecMD5SignatureTest : public ::testing::Test {
 protected:
  void LoadText(const std::string& db, const std::string& version = "v1") {
    test::WriteArchive(path_, db, version);
    set_.Load(path_);
  }
  void LoadLines(const std::vector<std::string>& lines, const std::string& version = "v1") {
    std::string db;
    for (const std::string& line : lines) db += line + "\r\n";
    LoadText(db, version);
  }

  test::TempDir dir_;
  const std::string path_ = dir_.File("smd.c");
  SecMD5Signature set_;
};

TEST_F(SecMD5SignatureTest, LoadReadsSizeDigestNameInFileOrder) {
  const Digest a = MD5OfString("a"), b = MD5OfString("b");
  std::string lower = SectionLine(512, b, "Lower.Case");
  std::transform(lower.begin() + 4, lower.begin() + 36, lower.begin() + 4, [](char c) { return char(std::tolower(c)); });
  LoadLines({SectionLine(4096, a, std::string(64, 'n') + "TAIL"), lower, SectionLine(0, Digest{}, "Empty.Section")},
            "2009-07-18");
  ASSERT_EQ(set_.Count(), 3);
  EXPECT_EQ(set_.Version(), "2009-07-18");
  EXPECT_EQ(set_.Items(0).Size, 4096);
  EXPECT_EQ(set_.Items(0).Digest, a);
  EXPECT_EQ(set_.Items(0).NameText(), std::string(64, 'n'));
  EXPECT_EQ(set_.Items(1).Digest, b);
  EXPECT_EQ(set_.Items(1).NameText(), "Lower.Case");
  EXPECT_EQ(set_.Items(2).NameText(), "Empty.Section");
  EXPECT_EQ(set_.Items(3).NameText(), "");  // out of range: a zeroed record
}

TEST_F(SecMD5SignatureTest, ClearAndMissingArchiveEmptyTheSetAndKeepTheVersion) {
  const Digest a = MD5OfString("a");
  LoadLines({SectionLine(512, a, "A")}, "kept");
  set_.Clear();
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(512, a)}), nullptr);
  EXPECT_EQ(set_.Version(), "kept");

  LoadLines({SectionLine(512, a, "A")}, "kept");
  set_.Load(dir_.File("absent.c"));
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.Version(), "kept");
  EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(512, a)}), nullptr);

  test::WriteBytes(path_, "not an archive");
  set_.Load(path_);
  EXPECT_EQ(set_.Count(), 0);
}

TEST_F(SecMD5SignatureTest, MatchesNeedsEqualNonNegativeSizeAndAllDigestBytes) {
  const Digest d = MD5OfString("section");
  Digest lastByteDiffers = d;
  lastByteDiffers[15] ^= 1;
  MD5Record record;
  record.Size = 512;
  record.Digest = d;
  MD5Record negative = record;
  negative.Size = -512;
  struct Case {
    const MD5Record* record;
    int32_t size;
    Digest digest;
    bool expected;
  } cases[] = {
      {&record, 512, d, true},        {&record, 511, d, false},         {&record, 513, d, false},
      {&record, 512, lastByteDiffers, false}, {&negative, -512, d, false}, {&negative, 512, d, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SecMD5Signature::Matches(*c.record, c.size, c.digest), c.expected) << c.size;
}

// A malformed line stops the load; Count already holds every line, and the
// slots from the bad line on stay zeroed.
TEST_F(SecMD5SignatureTest, MalformedLineRaisesAndLeavesZeroedRecordsBehind) {
  const Digest good = MD5OfString("good");
  struct Case {
    const char* what;
    std::string badLine;
    bool outOfRange;  // otherwise invalid_argument
  } cases[] = {
      {"two fields", "512:" + DigestToHex(good), true},
      {"empty line", "", true},
      {"size not a number", "5x2:" + DigestToHex(good) + ":N", false},
      {"size too large", "4294967296:" + DigestToHex(good) + ":N", false},
      {"digest not hexadecimal", "512:" + std::string(31, '0') + "G:N", false},
      {"digest too short", "512:" + DigestToHex(good).substr(0, 30) + ":N", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> lines = {SectionLine(512, good, "Good"), c.badLine,
                                            SectionLine(1024, MD5OfString("late"), "Late")};
    std::string db;
    for (const std::string& line : lines) db += line + "\r\n";
    test::WriteArchive(path_, db, "v");
    if (c.outOfRange) EXPECT_THROW(set_.Load(path_), std::out_of_range);
    else EXPECT_THROW(set_.Load(path_), std::invalid_argument);
    EXPECT_EQ(set_.Count(), 3);
    EXPECT_EQ(set_.Items(0).NameText(), "Good");
    for (int32_t i : {1, 2}) {
      EXPECT_EQ(set_.Items(i).Size, 0);
      EXPECT_EQ(set_.Items(i).Digest, Digest{});
      EXPECT_EQ(set_.Items(i).NameText(), "");
    }
    EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(1024, MD5OfString("late"))}), nullptr);
    const MD5Record* found = set_.FindSection(std::vector<SectionInfo>{Section(512, good)});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->NameText(), "Good");
    // A section without raw data (size 0, zero digest) is named by the zeroed
    // slots, which come after "Good" and so win over it.
    found = set_.FindSection(std::vector<SectionInfo>{Section(512, good), Section(0, Digest{})});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->NameText(), "");
  }
}

TEST_F(SecMD5SignatureTest, SoundLoadGivesSectionsWithoutRawDataNoName) {
  LoadLines({SectionLine(512, MD5OfString("x"), "X")});
  EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(0, Digest{})}), nullptr);
}

TEST_F(SecMD5SignatureTest, LaterRecordWinsWhateverTheSectionOrder) {
  const Digest first = MD5OfString("first"), second = MD5OfString("second");
  LoadLines({SectionLine(512, first, "Early"), SectionLine(1024, second, "Late"), SectionLine(512, first, "Again")});
  const std::vector<SectionInfo> forward = {Section(512, first), Section(1024, second)};
  const std::vector<SectionInfo> backward = {Section(1024, second), Section(512, first)};
  ASSERT_NE(set_.FindSection(forward), nullptr);
  EXPECT_EQ(set_.FindSection(forward)->NameText(), "Again");
  EXPECT_EQ(set_.FindSection(backward), &set_.Items(2));
  EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(1024, second)}), &set_.Items(1));
  // A size of 2 GiB or more reads as negative and matches nothing.
  EXPECT_EQ(set_.FindSection(std::vector<SectionInfo>{Section(0x80000000u + 512, first)}), nullptr);
}

// The prepared lookup must give exactly the answer of the plain loop, also for
// duplicate keys, negative sizes, zeroed slots and empty sections.
TEST_F(SecMD5SignatureTest, PreparedLookupEqualsThePlainLoopOnRandomSets) {
  std::mt19937 random(20240611);
  const std::vector<Digest> digests = {Digest{}, MD5OfString("p"), MD5OfString("q"), MD5OfString("r")};
  const std::vector<int64_t> sizes = {0, 1, 512, 4096, -1, -512};
  auto pick = [&](auto& pool) { return pool[random() % pool.size()]; };
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::string> lines(1 + random() % 12);
    for (size_t i = 0; i < lines.size(); ++i) lines[i] = SectionLine(pick(sizes), pick(digests), std::to_string(i));
    if (random() % 3 == 0) lines[random() % lines.size()] = "broken";
    std::string db;
    for (const std::string& line : lines) db += line + "\n";
    test::WriteArchive(path_, db, "v", false);
    try {
      set_.Load(path_);
    } catch (const std::out_of_range&) {
    }
    for (int probe = 0; probe < 20; ++probe) {
      std::vector<SectionInfo> sections(random() % 5);
      for (SectionInfo& s : sections) s = Section(uint32_t(pick(sizes)), pick(digests));
      EXPECT_EQ(set_.FindSection(sections), NaiveFindSection(set_, sections));
    }
  }
}

// Files analysed by the PE parser, as the checker looks them up.
class SectionLookupTest : public SecMD5SignatureTest {};

TEST_F(SectionLookupTest, ThirdSectionMatchesWhateverTheRestOfTheFile) {
  const std::string payload(300, '\x5A');
  LoadLines({SectionLine(0x200, MD5OfString(Padded(payload, 0x200)), "Trojan.Section")});
  for (uint8_t variant = 0; variant < 2; ++variant) {
    test::PeBuilder builder;
    builder.sections[0].data += std::string(variant * 0x300, char(variant));  // other code, other sizes
    builder.subsystem = variant ? 3 : 2;
    builder.sections.push_back(NamedSection(".rdata", payload));
    test::AnalysedPe pe = test::AnalysePe(builder.Build());
    ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
    const MD5Record* found = set_.FindSection(*pe.scanner);
    ASSERT_NE(found, nullptr) << int(variant);
    EXPECT_EQ(found->NameText(), "Trojan.Section");
  }
  test::PeBuilder clean;
  clean.sections.push_back(NamedSection(".rdata", std::string(300, '\x5B')));
  EXPECT_EQ(set_.FindSection(*test::AnalysePe(clean.Build()).scanner), nullptr);
}

TEST_F(SectionLookupTest, SectionCutAtTheEndOfTheFileMatchesWithItsCutSizeAndDigest) {
  std::string tail(0x400, '\0');
  for (size_t i = 0; i < tail.size(); ++i) tail[i] = char(i * 7);
  test::PeBuilder builder;
  builder.sections.push_back(NamedSection(".tail", tail));
  std::string bytes = builder.Build();
  bytes.resize(bytes.size() - 100);
  LoadLines({SectionLine(0x400, MD5OfString(tail), "Whole"),
             SectionLine(0x400 - 100, MD5OfString(tail.substr(0, 0x400 - 100)), "Cut")});
  test::AnalysedPe pe = test::AnalysePe(bytes);
  ASSERT_FALSE(pe.scanner->HasError()) << pe.scanner->ErrorText();
  const MD5Record* found = set_.FindSection(*pe.scanner);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->NameText(), "Cut");
}

TEST_F(SectionLookupTest, TwoMatchingRecordsReportTheLaterOne) {
  const std::string first(0x200, 'f'), second(0x200, 's');
  test::PeBuilder builder;
  builder.sections = {NamedSection(".one", first), NamedSection(".two", second)};
  LoadLines({SectionLine(0x200, MD5OfString(second), "Listed.First"),
             SectionLine(0x200, MD5OfString(first), "Listed.Second")});
  const MD5Record* found = set_.FindSection(*test::AnalysePe(builder.Build()).scanner);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->NameText(), "Listed.Second");
}

TEST_F(SectionLookupTest, FailedAnalysisIsNeverLookedUp) {
  test::WriteArchive(path_, "broken line\r\n", "v");
  EXPECT_THROW(set_.Load(path_), std::out_of_range);  // leaves one zeroed slot: it names sections without raw data
  test::PeBuilder builder;
  test::PeSection bss = NamedSection(".bss", "");
  bss.virtual_size = 0x1000;
  builder.sections.push_back(bss);
  test::AnalysedPe sound = test::AnalysePe(builder.Build());
  ASSERT_FALSE(sound.scanner->HasError());
  ASSERT_NE(set_.FindSection(*sound.scanner), nullptr);
  builder.file_alignment = 0x100;  // "Bad file alignment"
  test::AnalysedPe broken = test::AnalysePe(builder.Build());
  ASSERT_TRUE(broken.scanner->HasError());
  EXPECT_EQ(set_.FindSection(*broken.scanner), nullptr);
}

}  // namespace
}  // namespace vermilax
