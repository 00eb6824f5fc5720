#include "engine/virus_signature.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

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

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string db;
  for (const std::string& line : lines) db += line + "\r\n";
  return db;
}

class VirusSignatureTest : public ::testing::Test {
 protected:
  void Load(const std::vector<std::string>& lines, const std::string& version = "v1") {
    test::WriteArchive(path_, JoinLines(lines), version);
    set_.Load(path_);
  }
  // Loads the lines and tells the name of the record that FindMatch reports.
  std::string Detect(const std::vector<std::string>& lines, const AnalysedPe& pe) {
    Load(lines);
    const VirusRecord* found = set_.FindMatch(*pe.scanner);
    return found ? found->Name : "";
  }

  test::TempDir dir_;
  const std::string path_ = dir_.File("vs.c");
  VirusSignature set_;
};

// A program whose entry point is the start of its first section.
AnalysedPe ProgramWithEntryCode(const std::string& code) {
  PeBuilder b;
  b.entry_point_bytes = code;
  return AnalysePe(b.Build());
}

TEST_F(VirusSignatureTest, LineFieldsAndLocations) {
  const struct {
    const char* line;
    uint8_t kind;
    uint8_t section;
    int32_t offset;
    uint8_t code;
    const char* patternText;
    std::vector<uint8_t> bytes;
    std::vector<bool> mask;
  } kCases[] = {
      {"Example:0:EP+2:E8????????5D", kLocationEntryPoint, 0, 2, 0, "E8????????5D",
       {0xE8, 255, 255, 255, 255, 0x5D}, {false, true, true, true, true, false}},
      {"Low.Byte:300:S1+16:aabb", kLocationSection, 1, 16, 44, "AABB", {0xAA, 0xBB}, {false, false}},
      {"Section.Low.Byte:1:S257+0:90", kLocationSection, 1, 0, 1, "90", {0x90}, {false}},
      {"Last:1:SL+32:c3", kLocationLastSection, 0, 32, 1, "C3", {0xC3}, {false}},
      {"Last.Three.Dropped:1:SLx7:90", kLocationLastSection, 0, 7, 1, "90", {0x90}, {false}},
      {"Every:1:*:0102", kLocationEverySection, 255, 0, 1, "0102", {1, 2}, {false, false}},
      {"Odd.Tail:1:EP+0:909", kLocationEntryPoint, 0, 0, 1, "909", {0x90}, {false}},
      {"Not.Hex:1:EP+0:ZZ??", kLocationEntryPoint, 0, 0, 1, "ZZ??", {0, 255}, {false, true}},
      {"Negative:1:EP+-4:90", kLocationEntryPoint, 0, -4, 1, "90", {0x90}, {false}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    Load({c.line});
    ASSERT_EQ(set_.Count(), 1);
    const VirusRecord& r = set_.Items(0);
    EXPECT_EQ(r.LocationKind, c.kind);
    EXPECT_EQ(r.SectionIndex, c.section);
    EXPECT_EQ(r.Offset, c.offset);
    EXPECT_EQ(r.Code, c.code);
    EXPECT_EQ(r.PatternText, c.patternText);
    EXPECT_EQ(r.Bytes, c.bytes);
    EXPECT_EQ(r.Mask, c.mask);
  }
}

TEST_F(VirusSignatureTest, EmptyFieldsVanishAndLaterFieldsMoveForward) {
  Load({"Name::7:: EP+1 ::90"});
  ASSERT_EQ(set_.Count(), 1);
  EXPECT_EQ(set_.Items(0).Name, "Name");
  EXPECT_EQ(set_.Items(0).Code, 7);
  EXPECT_EQ(set_.Items(0).LocationText, "EP+1");
  EXPECT_EQ(set_.Items(0).Offset, 1);
}

// A record without pattern bytes would match every file; such lines load
// without error and leave nothing behind.
TEST_F(VirusSignatureTest, LinesWithoutPatternBytesAreNotKept) {
  const char* kLines[] = {
      "Unknown.Location:1:X+0:90", "Lower.Case.Location:1:ep+0:90", "No.Number:1:E:90", "No.Plus:1:S0:90",
      "Bad.Offset:1:S0+x:90",      "Bad.Section:1:Sx+0:90",         "SL.Too.Short:1:SL:90",
      "No.Pattern:1:EP+0",         "Half.Pair:1:EP+0:9",
  };
  for (const char* line : kLines) {
    SCOPED_TRACE(line);
    EXPECT_NO_THROW(Load({line, "Kept:1:EP+0:4D"}));
    ASSERT_EQ(set_.Count(), 1);
    EXPECT_EQ(set_.Items(0).Name, "Kept");
  }
  // Nothing is left behind that matches an arbitrary file.
  Load({"Unknown.Location:1:X+0:90", "No.Pattern:1:EP+0"});
  EXPECT_EQ(set_.FindMatch(*ProgramWithEntryCode("\x90").scanner), nullptr);
}

TEST_F(VirusSignatureTest, MalformedLinesStopTheLoadKeepingEarlierRecords) {
  const struct {
    const char* label;
    std::string line;
    bool indexError;  // otherwise a conversion error
  } kCases[] = {
      {"two fields", "Bad:1", true},
      {"empty line", "", true},
      {"blank line", "   ", true},
      {"code not a number", "Bad:x:EP+0:90", false},
      {"code too large", "Bad:99999999999:EP+0:90", false},
      {"every section without pattern", "Bad:1:*", true},
  };
  const AnalysedPe pe = ProgramWithEntryCode("\x55\x8B\xEC");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> lines = {"First:1:EP+0:55", c.line, "After:1:EP+0:55"};
    if (c.indexError) {
      EXPECT_THROW(Load(lines), std::out_of_range);
    } else {
      EXPECT_THROW(Load(lines), std::invalid_argument);
    }
    ASSERT_EQ(set_.Count(), 1);
    const VirusRecord* found = set_.FindMatch(*pe.scanner);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Name, "First");
  }
}

TEST_F(VirusSignatureTest, UnreadableArchiveLeavesTheSetEmpty) {
  Load({"A:1:EP+0:90"}, "2009-07-18");
  EXPECT_EQ(set_.Version(), "2009-07-18");
  test::WriteBytes(path_, "not an archive");
  set_.Load(path_);
  EXPECT_EQ(set_.Count(), 0);
  set_.Load(dir_.File("missing.c"));
  EXPECT_EQ(set_.Count(), 0);
  EXPECT_EQ(set_.Items(0).Name, "");
  EXPECT_EQ(set_.Items(-1).Name, "");
}

TEST_F(VirusSignatureTest, EntryPointPatternWithWildcards) {
  const std::string kLine = "Example:0:EP+2:E8????????5D";
  const struct {
    std::string code;
    bool match;
  } kCases[] = {
      {std::string("\x11\x22\xE8\x01\x02\x03\x04\x5D", 8), true},
      {std::string("\x00\xFF\xE8\xFF\xFF\xFF\xFF\x5D", 8), true},
      {std::string("\x11\x22\xE8\x01\x02\x03\x04\x5E", 8), false},
      {std::string("\x11\xE8\x01\x02\x03\x04\x5D", 7), false},  // pattern one byte early
  };
  for (const auto& c : kCases) {
    const AnalysedPe pe = ProgramWithEntryCode(c.code);
    Load({kLine});
    EXPECT_EQ(set_.MatchEntryPoint(0, *pe.scanner), c.match);
    EXPECT_EQ(set_.FindMatch(*pe.scanner) != nullptr, c.match);
  }
}

TEST_F(VirusSignatureTest, PatternsReachingPastTheWindowNeverMatch) {
  std::string body(4096, '\x90');
  body.replace(2040, 10, std::string(10, '\xAB'));
  body.replace(2038, 10, std::string(10, '\xAB'));  // 2038 + 10 = 2048: inside the window
  PeBuilder b;
  b.sections = {Section(".text", body)};
  b.entry_point_bytes = body;
  const AnalysedPe pe = AnalysePe(b.Build());
  ASSERT_GE(pe.scanner->SectionData(0).size(), 4096u);
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "AB";
  Load({"EP.Out:1:EP+2040:" + ten, "Sec.Out:1:S0+2040:" + ten, "Every.Out:1:*:" + std::string(4100, '9')});
  ASSERT_EQ(set_.Count(), 3);
  EXPECT_FALSE(set_.MatchEntryPoint(0, *pe.scanner));
  EXPECT_FALSE(set_.MatchSection(1, *pe.scanner, 0));
  EXPECT_EQ(set_.FindMatch(*pe.scanner), nullptr);

  Load({"EP.In:1:EP+2038:" + ten, "Sec.In:1:S0+2038:" + ten});
  EXPECT_TRUE(set_.MatchEntryPoint(0, *pe.scanner));
  EXPECT_TRUE(set_.MatchSection(1, *pe.scanner, 0));
}

TEST_F(VirusSignatureTest, SectionDataEndingInsideThePatternIsNoMatch) {
  std::string tail(104, '\x00');
  tail.replace(96, 8, "ABCDEFGH");
  PeSection last = Section(".tail", tail);
  last.raw_size = 104;  // the file ends with this section
  PeBuilder b;
  b.sections = {Section(".text", std::string(0x200, '\xC3')), last};
  const AnalysedPe pe = AnalysePe(b.Build());
  ASSERT_EQ(pe.scanner->Sections().size(), 2u);
  ASSERT_EQ(pe.scanner->Sections()[1].AlignedRawSize, 104u);
  Load({"Cut:1:S1+100:4546474800000000", "Fits:1:S1+96:4142434445464748"});
  EXPECT_FALSE(set_.MatchSection(0, *pe.scanner, 1));
  EXPECT_TRUE(set_.MatchSection(1, *pe.scanner, 1));
  ASSERT_NE(set_.FindMatch(*pe.scanner), nullptr);
  EXPECT_EQ(set_.FindMatch(*pe.scanner)->Name, "Fits");
}

TEST_F(VirusSignatureTest, SectionAnchors) {
  PeSection bss;
  bss.name = ".bss";
  bss.virtual_size = 0x1000;  // no raw data
  PeBuilder threeSections;
  threeSections.sections = {Section(".text", "\xC3TEXT"), Section(".data", "DATA"), Section(".rsrc", "RSRC")};
  PeBuilder lastWithoutData;
  lastWithoutData.sections = {Section(".text", "\xC3TEXT"), bss};
  const AnalysedPe three = AnalysePe(threeSections.Build());
  const AnalysedPe empty_last = AnalysePe(lastWithoutData.Build());
  ASSERT_EQ(three.scanner->Sections().size(), 3u);
  ASSERT_EQ(empty_last.scanner->Sections().size(), 2u);

  const struct {
    const char* label;
    std::string line;
    const AnalysedPe* pe;
    bool match;
  } kCases[] = {
      {"numbered section", "X:1:S1+0:44415441", &three, true},
      {"numbered section, other bytes", "X:1:S0+0:44415441", &three, false},
      {"section past the table", "X:1:S7+0:52535243", &three, false},
      {"last section", "X:1:SL+0:52535243", &three, true},
      {"last section, offset", "X:1:SL+1:535243", &three, true},
      {"every section finds the middle one", "X:1:*:44415441", &three, true},
      {"every section, no such bytes", "X:1:*:44415442", &three, false},
      {"last section without raw data", "X:1:SL+0:00", &empty_last, false},
      {"the section before it", "X:1:S0+0:C3", &empty_last, true},
      {"numbered section without raw data", "X:1:S1+0:00", &empty_last, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Detect({c.line}, *c.pe), c.match ? "X" : "");
  }
  Load({"X:1:S7+0:52535243"});
  EXPECT_FALSE(set_.MatchSection(0, *three.scanner, 7));
  EXPECT_FALSE(set_.MatchSection(0, *three.scanner, -1));
  EXPECT_FALSE(set_.MatchSection(1, *three.scanner, 0));  // no such record
}

TEST_F(VirusSignatureTest, EarliestMatchingRecordWinsWhateverItsKind) {
  PeBuilder b;
  b.sections = {Section(".text", "\x55\x8B\xEC" "CODE"), Section(".data", "DATA")};
  const AnalysedPe pe = AnalysePe(b.Build());
  const std::string ep = "EP:1:EP+0:558BEC", first = "First:1:S0+3:434F4445", last = "Last:1:SL+0:44415441",
                    every = "Every:1:*:44415441", wild = "Wild:1:EP+1:????";
  const struct {
    std::vector<std::string> lines;
    const char* expected;
  } kCases[] = {
      {{ep, first, last, every}, "EP"},
      {{last, every, ep, first}, "Last"},
      {{every, last}, "Every"},
      {{first, ep}, "First"},
      {{"Miss:1:EP+0:00", wild, ep}, "Wild"},
      {{"Miss:1:*:00", "Miss2:1:SL+0:00", every}, "Every"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Detect(c.lines, pe), c.expected);
  }
}

TEST_F(VirusSignatureTest, IndexedLookupAgreesWithRecordByRecordLookup) {
  std::mt19937 rng(20090718);
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  // Few distinct byte values, so that patterns really match now and then;
  // the data never holds 03.
  const char kHex[][3] = {"00", "01", "02", "03", "??"};
  auto randomLine = [&](int i) {
    static const char* kLocations[] = {"EP+", "S0+", "S1+", "S2+", "S9+", "SL+", "*"};
    std::string location = kLocations[pick(7)];
    if (location != "*") location += std::to_string(pick(6) == 0 ? 2040 + pick(10) : pick(40));
    if (pick(50) == 0) location = "EP+-1";
    std::string pattern;
    for (uint32_t n = 1 + pick(pick(8) == 0 ? 12 : 6); n > 0; --n) pattern += kHex[pick(5)];
    return "R" + std::to_string(i) + ":1:" + location + ":" + pattern;
  };
  auto randomBytes = [&](size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = char(pick(3));
    return s;
  };
  for (int round = 0; round < 100; ++round) {
    std::vector<std::string> lines;
    for (int i = 0, n = 1 + int(pick(400)); i < n; ++i) lines.push_back(randomLine(i));
    set_.LoadLines(lines);
    PeBuilder b;
    b.sections.clear();
    for (uint32_t s = 0, n = 1 + pick(3); s < n; ++s) {
      PeSection section = Section(".s" + std::to_string(s), randomBytes(pick(3) == 0 ? 40 : 600));
      if (pick(5) == 0) {  // virtual only
        section.data.clear();
        section.virtual_size = 0x1000;
      }
      b.sections.push_back(section);
    }
    const AnalysedPe pe = AnalysePe(b.Build(), kScanChecker);
    const VirusRecord* found = set_.FindMatch(*pe.scanner);
    const int32_t expected = set_.FindMatchRecordByRecord(*pe.scanner);
    ASSERT_EQ(found ? int32_t(found - &set_.Items(0)) : -1, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vermilax
