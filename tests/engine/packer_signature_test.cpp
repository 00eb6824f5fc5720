#include "engine/packer_signature.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "env/text_utils.h"
#include "support/archive_builder.h"
#include "support/pe_analysis.h"
#include "support/pe_writer.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using test::AnalysePe;
using test::AnalysedPe;
using test::PeBuilder;
using test::PeSection;
using test::Section;

class PackerSignatureTest : public ::testing::Test {
 protected:
  void Load(const std::vector<std::string>& lines, const std::string& version = "v1") {
    std::string db;
    for (const std::string& line : lines) db += line + "\r\n";
    test::WriteArchive(path_, db, version);
    set_.Load(path_);
  }
  // Index of the record FindMatch reports, -1 for none.
  int32_t Found(const std::vector<std::string>& lines, const AnalysedPe& pe) {
    Load(lines);
    PackerMatch match = set_.FindMatch(*pe.scanner);
    EXPECT_EQ(match.Record, match.Index < 0 ? nullptr : &set_.Items(match.Index));
    return match.Index;
  }

  test::TempDir dir_;
  const std::string path_ = dir_.File("upx.z");
  PackerSignature set_;
};

TEST(StrToBool, WordsAndNumbers) {
  const struct {
    const char* text;
    bool value;
  } kValid[] = {{"true", true}, {"TRUE", true}, {"True", true}, {"false", false}, {"fAlSe", false},
                {"1", true},    {"0", false},   {"-1", true},   {"$10", true},    {"0x0", false}};
  for (const auto& c : kValid) EXPECT_EQ(StrToBool(c.text), c.value) << c.text;
  for (const char* text : {"", "yes", "t", "truee", "1.0", "99999999999"})
    EXPECT_THROW(StrToBool(text), std::invalid_argument) << text;
}

TEST_F(PackerSignatureTest, EntryLines) {
  const struct {
    std::vector<std::string> lines;
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<bool> mask;
    bool epOnly;
  } kCases[] = {
      {{"[UPX 0.89]", "signature = 60 E8 00", "ep_only = true"}, "UPX 0.89", {0x60, 0xE8, 0x00}, {0, 0, 0}, true},
      {{"[UPX 0.89]", "signature =60 E8 00", "ep_only = true"}, "UPX 0.89", {0x60, 0xE8, 0x00}, {0, 0, 0}, true},
      {{"  [Padded]\t", "\t x = 60 ?? 5D  ", " y = FALSE "}, "Padded", {0x60, 255, 0x5D}, {0, 1, 0}, false},
      {{"[No close", "x = 90", "y = 1"}, "", {0x90}, {0}, true},
      {{"[]", "x = 90", "y = 0"}, "", {0x90}, {0}, false},
      {{"[A]b]", "x = 90", "y = $2"}, "A", {0x90}, {0}, true},
      {{"[Lower]", "x = 60 e8", "y = true"}, "Lower", {0x60, 0x00}, {0, 0}, true},  // upper-case digits only
      {{"[Half]", "x = 60 E", "y = true"}, "Half", {0x60, 0x00}, {0, 0}, true},    // room for two, one token
      {{"[No value]", "x = 90", "ep_only"}, "No value", {0x90}, {0}, false},
      {{"[Label ignored]", "ep_only = 90", "signature = true"}, "Label ignored", {0x90}, {0}, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.lines[0]);
    Load(c.lines);
    ASSERT_EQ(set_.Count(), 1);
    const PackerRecord& r = set_.Items(0);
    EXPECT_EQ(r.Name, c.name);
    EXPECT_EQ(r.SignatureLine, TrimText(c.lines[1]));
    EXPECT_EQ(r.Bytes, c.bytes);
    EXPECT_EQ(r.Mask, c.mask);
    EXPECT_EQ(r.EpOnly, c.epOnly);
  }
}

TEST_F(PackerSignatureTest, TextBetweenEntriesIsSkipped) {
  Load({"; packer signatures", "", "version 3", "[One]", "x = 90", "y = true", "; next", "  ", "[Two]",
        "[not a name: line two]", "x = true", "trailing text"});
  ASSERT_EQ(set_.Count(), 1);  // the second entry's pattern line has no bytes
  EXPECT_EQ(set_.Items(0).Name, "One");

  Load({"; only", "; comments"}, "2009-07-18");
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.Version(), "2009-07-18");
  EXPECT_EQ(set_.FindMatch(*AnalysePe(PeBuilder().Build()).scanner).Index, -1);
}

// An entry whose second line has no "=" (or nothing after it) would match every
// file; it is dropped and the next entry keeps the next index.
TEST_F(PackerSignatureTest, EntriesWithoutPatternBytesAreNotKept) {
  Load({"[No equals]", "60 E8 00", "ep_only = true", "[Nothing after]", "x =", "ep_only = false", "[Kept]",
        "x = 4D 5A", "ep_only = false"});
  ASSERT_EQ(set_.Count(), 1);
  EXPECT_EQ(set_.Items(0).Name, "Kept");
  EXPECT_EQ(Found({"[No equals]", "60 E8 00", "ep_only = true"}, AnalysePe(PeBuilder().Build())), -1);
}

TEST_F(PackerSignatureTest, CutOrMalformedEntriesStopTheLoad) {
  const std::vector<std::string> kGood = {"[Good]", "x = C3", "y = false"};
  const struct {
    const char* label;
    std::vector<std::string> tail;
    bool indexError;
    const char* reported;  // name given to the handler, or null
  } kCases[] = {
      {"cut after the first line", {"[Cut entry]"}, true, "Cut entry"},
      {"cut after the second line", {"[Cut]", "x = 90"}, true, nullptr},
      {"not a truth value", {"[Bad]", "x = 90", "y = maybe"}, false, nullptr},
      {"empty truth value", {"[Bad]", "x = 90", "y ="}, false, nullptr},
  };
  const AnalysedPe pe = AnalysePe(PeBuilder().Build());  // .text starts with C3
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> reported;
    set_.SetOnTruncatedEntry([&](const std::string& name) { reported.push_back(name); });
    std::vector<std::string> lines = kGood;
    lines.insert(lines.end(), c.tail.begin(), c.tail.end());
    if (c.indexError) {
      EXPECT_THROW(Load(lines), std::out_of_range);
    } else {
      EXPECT_THROW(Load(lines), std::invalid_argument);
    }
    EXPECT_EQ(reported, c.reported ? std::vector<std::string>{c.reported} : std::vector<std::string>{});
    ASSERT_EQ(set_.Count(), 1);  // the complete entry before stays, and is searchable
    EXPECT_EQ(set_.FindMatch(*pe.scanner).Index, 0);
  }
  set_.SetOnTruncatedEntry(nullptr);
  EXPECT_THROW(Load({"[Cut]"}), std::out_of_range);  // no handler: still stops
}

TEST_F(PackerSignatureTest, NameAndClear) {
  set_.SetName("upx");
  Load({"[A]", "x = 90", "y = 1"});
  EXPECT_EQ(set_.Name(), "upx");
  set_.Clear();
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.Name(), "upx");
  EXPECT_EQ(set_.Items(0).Name, "");
  test::WriteBytes(path_, "not an archive");
  set_.Load(path_);
  EXPECT_EQ(set_.Count(), 0);
}

TEST(PackerMatchRecord, ComparesFromTheFirstByte) {
  PackerRecord record;
  record.Bytes = {0x60, 255, 0x5D};
  record.Mask = {false, true, false};
  const uint8_t data[] = {0x60, 0x11, 0x5D, 0x00};
  const uint8_t other[] = {0x61, 0x11, 0x5D};
  EXPECT_TRUE(PackerSignature::MatchRecord(record, data, 4));
  EXPECT_TRUE(PackerSignature::MatchRecord(record, data, 3));
  EXPECT_FALSE(PackerSignature::MatchRecord(record, data, 2));  // shorter than the pattern
  EXPECT_FALSE(PackerSignature::MatchRecord(record, data, 0));
  EXPECT_FALSE(PackerSignature::MatchRecord(record, nullptr, 0));
  EXPECT_FALSE(PackerSignature::MatchRecord(record, other, 3));
}

TEST_F(PackerSignatureTest, EntryPointOrSectionStarts) {
  PeBuilder b;
  b.sections = {Section(".text", std::string("\x60\xE8\x00\x00\x00\x00\x5D", 7)), Section(".data", "DATA")};
  const AnalysedPe pe = AnalysePe(b.Build());
  const struct {
    const char* label;
    std::vector<std::string> lines;
    int32_t index;
  } kCases[] = {
      {"entry point", {"[A]", "x = 60 E8 ?? ?? ?? ?? 5D", "ep_only = true"}, 0},
      {"entry point, bytes of a later section", {"[A]", "x = 44 41 54 41", "ep_only = true"}, -1},
      {"any section start", {"[A]", "x = 44 41 54 41", "ep_only = false"}, 0},
      {"not inside a section", {"[A]", "x = 41 54 41", "ep_only = false"}, -1},
      {"first matching entry wins",
       {"[Miss]", "x = 00", "y = true", "[Sec]", "x = 44 41", "y = false", "[EP]", "x = 60", "y = true"},
       1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Found(c.lines, pe), c.index);
  }
}

// The last section holds 8 bytes at the end of the file and is also the entry
// point: the 4096 entry-point bytes are zero past those read, the section's
// data ends after 8 bytes.
TEST_F(PackerSignatureTest, ShortSectionAndZeroFilledEntryPoint) {
  PeSection tail = Section(".tail", "ABCDEFGH");
  tail.raw_size = 8;
  PeBuilder b;
  b.sections = {Section(".text", "\xC3"), tail};
  b.entry_point = 0x2000;
  const AnalysedPe pe = AnalysePe(b.Build());
  ASSERT_EQ(pe.scanner->SectionData(1).size(), 8u);
  ASSERT_EQ(pe.scanner->EntryPointBytesRead(), 8);
  const std::string eight = "x = 41 42 43 44 45 46 47 48", ten = eight + " 00 00";
  EXPECT_EQ(Found({"[S]", ten, "y = false"}, pe), -1);
  EXPECT_EQ(Found({"[S]", eight, "y = false"}, pe), 0);
  EXPECT_EQ(Found({"[E]", ten, "y = true"}, pe), 0);
}

TEST_F(PackerSignatureTest, IndexedLookupAgreesWithTryingEveryRecord) {
  std::mt19937 rng(1234);
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  const char* kTokens[] = {"00", "01", "02", "03", "??"};  // the data never holds 03
  for (int round = 0; round < 100; ++round) {
    std::vector<std::string> lines;
    for (uint32_t e = 0, n = 1 + pick(300); e < n; ++e) {
      std::string pattern = "signature =";
      for (uint32_t k = 2 + pick(pick(10) == 0 ? 20 : 6); k > 0; --k) pattern += std::string(" ") + kTokens[pick(5)];
      lines.insert(lines.end(), {"[P" + std::to_string(e) + "]", pattern, pick(2) ? "ep_only = true" : "ep_only = 0"});
    }
    set_.LoadLines(lines);
    PeBuilder b;
    b.sections.clear();
    for (uint32_t s = 0, n = 1 + pick(3); s < n; ++s) {
      std::string data(pick(4) == 0 ? 1 + pick(8) : 0x200, '\0');
      for (char& c : data) c = char(pick(3));
      b.sections.push_back(Section(".s" + std::to_string(s), data));
    }
    const AnalysedPe pe = AnalysePe(b.Build(), kScanChecker);
    ASSERT_EQ(set_.FindMatch(*pe.scanner).Index, set_.FindMatchRecordByRecord(*pe.scanner)) << "round " << round;
  }
}

}  // namespace
}  // namespace vermilax
