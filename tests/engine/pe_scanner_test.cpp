#include "engine/pe_scanner.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/md5.h"
#include "engine/memory_file.h"
#include "support/pe_analysis.h"
#include "support/pe_writer.h"
#include "support/scratch_file.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace vermilax {
namespace {

using test::AnalysePe;
using test::PeBuilder;
using test::Section;

constexpr uint32_t kChecker = kScanChecker;
constexpr uint32_t kCheckerExe = kScanChecker | kScanReportBroken;

// The default image: headers end at 0x200, .text at 0x200 and .data at 0x400,
// 0x200 bytes each, mapped at 0x1000 and 0x2000.
constexpr uint32_t kDefaultFileSize = 0x600;

void PatchU32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

std::string Built(const std::function<void(PeBuilder&)>& change) {
  PeBuilder builder;
  change(builder);
  return builder.Build();
}

struct Outcome {
  std::string error;
  int32_t result;
  std::string name;
};

struct FailureCase {
  const char* label;
  std::function<std::string()> bytes;
  Outcome with_broken_option;     // options 0x60, as for an .exe
  Outcome without_broken_option;  // options 0x20
};

const std::string kBroken = kBrokenExecutable;

std::vector<FailureCase> FailureCases() {
  auto broken = [](const std::string& message) {
    return std::pair{Outcome{message, 1, kBroken}, Outcome{message, 0, ""}};
  };
  auto plain = [](const std::string& message) {
    return std::pair{Outcome{message, 0, ""}, Outcome{message, 0, ""}};
  };
  auto only_with_option = [](const std::string& message) {
    return std::pair{Outcome{message, 1, kBroken}, Outcome{"", 1, ""}};
  };
  struct Row {
    const char* label;
    std::function<std::string()> bytes;
    std::pair<Outcome, Outcome> outcomes;
  };
  std::vector<Row> rows = {
      {"empty file", [] { return std::string(); }, plain("Can't read DOS signature")},
      {"one byte", [] { return std::string("M"); }, plain("Can't read DOS signature")},
      {"text file", [] { return std::string("Hello, this is just a text page.\r\n"); },
       plain("Invalid DOS signature")},
      {"lower-case mz", [] { return std::string("mz and then some text"); },
       {Outcome{"Invalid DOS signature", 1, "Suspicious.Signature"},
        Outcome{"Invalid DOS signature", 1, "Suspicious.Signature"}}},
      {"DOS header cut before the new-header address", [] { return std::string("MZ") + std::string(40, 'x'); },
       broken("Can't read new header address")},
      {"DOS program", [] { return test::DosProgramBuilder().Build(); }, plain("Not a PE file")},
      {"new header beyond the end",
       [] { return Built([](PeBuilder& b) { b.new_header_offset = 0x10000; }).substr(0, 0x400); },
       plain("Can't read file header")},
      {"NE program", [] { return test::NeProgramBuilder().Build(); },
       plain("Invalid PE signature (probably NE file)")},
      {"no sections", [] { return Built([](PeBuilder& b) { b.number_of_sections = 0; }); },
       {Outcome{"", 1, kBroken}, Outcome{"PE file contains no sections", 0, ""}}},
      {"97 sections", [] { return Built([](PeBuilder& b) { b.number_of_sections = 97; }); },
       {Outcome{"", 1, kBroken}, Outcome{"PE file contains 97 sections", 0, ""}}},
      {"optional header too small", [] { return Built([](PeBuilder& b) { b.size_of_optional_header = 200; }); },
       broken("SizeOfOptionalHeader too small")},
      {"optional header cut", [] { return PeBuilder().Build().substr(0, 0x80 + 24 + 100); },
       broken("Can't read optional file header")},
      {"PE32+ with a PE32 header size",
       [] {
         return Built([](PeBuilder& b) {
           b.pe32plus = true;
           b.size_of_optional_header = 224;
         });
       },
       broken("Incorrect SizeOfOptionalHeader for PE32+")},
      {"unknown magic", [] { return Built([](PeBuilder& b) { b.magic = 0x107; }); },
       broken("Incorrect magic number in optional header")},
      {"PE32+ optional header cut",
       [] { return Built([](PeBuilder& b) { b.pe32plus = true; }).substr(0, 0x80 + 24 + 224 + 8); },
       broken("Can't read optional file header")},
      {"section alignment 0x800", [] { return Built([](PeBuilder& b) { b.section_alignment = 0x800; }); },
       only_with_option("Bad virtual alignment")},
      {"file alignment 0x100", [] { return Built([](PeBuilder& b) { b.file_alignment = 0x100; }); },
       only_with_option("Bad file alignment")},
      {"section table cut",
       [] {
         test::BuiltPe pe = PeBuilder().BuildWithLayout();
         return pe.bytes.substr(0, pe.section_table_offset + 40 + 10);
       },
       broken("Can't read section header. Possibly broken PE file")},
      {"misaligned section address",
       [] { return Built([](PeBuilder& b) { b.sections[1].virtual_address = 0x2100; }); },
       only_with_option("VirtualAddress is misaligned")},
      {"section beyond the end",
       [] {
         test::BuiltPe pe = PeBuilder().BuildWithLayout();
         PatchU32(pe.bytes, pe.section_table_offset + 40 + 20, 0x10000);
         return pe.bytes;
       },
       broken("Broken PE file - Section 1 starts beyond the end of file (Offset@ 10000, Total filesize 1536")},
      {"section raw data cut short",
       [] { return Built([](PeBuilder& b) { b.sections[1].raw_pointer = 0x410; }).substr(0, kDefaultFileSize); },
       broken("Can't read section 1")},
      {"sign bit in a virtual size",
       [] { return Built([](PeBuilder& b) { b.sections[1].virtual_size = 0x80000000; }); },
       {Outcome{"Found PE values with sign bit set", 1, kBroken},
        Outcome{"Found PE values with sign bit set", 1, kBroken}}},
      {"first section not after the headers",
       [] { return Built([](PeBuilder& b) { b.sections[0].virtual_address = 0x2000; }); },
       only_with_option("First section is in the wrong place")},
      {"gap between sections",
       [] { return Built([](PeBuilder& b) { b.sections[1].virtual_address = 0x3000; }); },
       only_with_option("Virtually misplaced section (wrong order, overlapping, non contiguous)")},
      {"sections in the wrong order",
       [] {
         return Built([](PeBuilder& b) {
           b.sections[0].virtual_address = 0x1000;
           b.sections[1].virtual_address = 0x1000;
         });
       },
       only_with_option("Virtually misplaced section (wrong order, overlapping, non contiguous)")},
  };
  std::vector<FailureCase> cases;
  for (Row& row : rows) cases.push_back({row.label, row.bytes, row.outcomes.first, row.outcomes.second});
  return cases;
}

TEST(PEScanner, EveryFailureGivesItsMessageResultAndName) {
  for (const FailureCase& c : FailureCases()) {
    const std::string bytes = c.bytes();
    for (auto [options, expected] : {std::pair{kCheckerExe, c.with_broken_option},
                                     std::pair{kChecker, c.without_broken_option}}) {
      test::AnalysedPe pe = AnalysePe(bytes, options);
      SCOPED_TRACE(std::string(c.label) + " with options " + std::to_string(options));
      EXPECT_EQ(pe.scanner->ErrorText(), expected.error);
      EXPECT_EQ(pe.result, expected.result);
      EXPECT_EQ(pe.context.Name, expected.name);
      // Whatever happens after it, the digest covers the whole file.
      EXPECT_EQ(pe.scanner->Digest(), MD5OfString(bytes));
    }
  }
}

TEST(PEScanner, ValidProgramIsAnalysedCompletely) {
  PeBuilder builder;
  builder.entry_point_bytes = "\x55\x8B\xEC";
  test::BuiltPe built = builder.BuildWithLayout();
  test::AnalysedPe pe = AnalysePe(built.bytes);
  const PEScanner& s = *pe.scanner;
  ASSERT_EQ(pe.result, 1) << s.ErrorText();
  EXPECT_FALSE(s.HasError());
  EXPECT_EQ(pe.context.Name, "");
  EXPECT_EQ(s.FileSize(), int32_t(kDefaultFileSize));
  EXPECT_EQ(s.Digest(), MD5OfString(built.bytes));
  EXPECT_FALSE(s.IsPE32Plus());
  EXPECT_TRUE(s.IsExecutableImage());
  EXPECT_EQ(s.Subsystem(), 2);
  EXPECT_EQ(s.NumberOfSections(), 2);
  ASSERT_EQ(s.Sections().size(), 2u);
  EXPECT_EQ(s.SectionHeaders().size(), 2u);
  EXPECT_EQ(s.MinSectionRva(), 0x1000);
  EXPECT_EQ(s.MaxSectionEnd(), 0x2200);
  EXPECT_EQ(s.EntryPointOffset(), 0x200u);
  EXPECT_EQ(s.EntryPointBytesRead(), int32_t(kDefaultFileSize - 0x200));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.EntryPointBuffer().data()), 3), "\x55\x8B\xEC");
  EXPECT_EQ(s.EntryPointBuffer()[kDefaultFileSize - 0x200], 0);  // bytes not read stay zero

  for (size_t i = 0; i < 2; ++i) {
    const SectionInfo info = s.GetSection(i);
    const test::WrittenSection& w = built.sections[i];
    EXPECT_EQ(info.Name, w.name);
    EXPECT_EQ(info.VirtualAddress, w.virtual_address);
    EXPECT_EQ(info.AlignedRva, w.virtual_address);
    EXPECT_EQ(info.AlignedVirtualSize, 0x1000u);
    EXPECT_EQ(info.AlignedRawOffset, w.raw_pointer);
    EXPECT_EQ(info.AlignedRawSize, 0x200u);
    const std::string raw = built.bytes.substr(w.raw_pointer, w.raw_size);
    EXPECT_EQ(s.SectionData(i), raw);
    EXPECT_EQ(info.Digest, MD5OfString(raw));
  }
}

TEST(PEScanner, ExecutableImageFlagFollowsCharacteristics) {
  const struct {
    uint16_t characteristics;
    bool executable;
  } kCases[] = {{0x0102, true}, {0x2102, false}, {0x0100, false}, {0x2000, false}};
  for (const auto& c : kCases) {
    test::AnalysedPe pe = AnalysePe(Built([&](PeBuilder& b) { b.characteristics = c.characteristics; }));
    EXPECT_EQ(pe.scanner->IsExecutableImage(), c.executable) << c.characteristics;
  }
}

TEST(PEScanner, SubsystemKeepsOnlyKnownValues) {
  const struct {
    uint16_t field;
    uint8_t kept;
  } kCases[] = {{1, 1}, {2, 2}, {3, 3}, {4, 0}, {5, 5}, {6, 0}, {7, 7}, {12, 12}, {13, 0}, {14, 0}, {0x102, 0}};
  for (const auto& c : kCases) {
    test::AnalysedPe pe = AnalysePe(Built([&](PeBuilder& b) { b.subsystem = c.field; }), kChecker);
    EXPECT_EQ(pe.scanner->Subsystem(), c.kept) << c.field;
  }
}

TEST(PEScanner, UpperCaseZMIsAnalysedLikeMZ) {
  std::string mz = PeBuilder().Build();
  std::string zm = mz;
  zm[0] = 'Z';
  zm[1] = 'M';
  test::AnalysedPe a = AnalysePe(mz), b = AnalysePe(zm);
  EXPECT_EQ(b.result, 1);
  EXPECT_EQ(b.scanner->ErrorText(), "");
  ASSERT_EQ(b.scanner->Sections().size(), 2u);
  EXPECT_EQ(b.scanner->Sections()[1].Digest, a.scanner->Sections()[1].Digest);
}

TEST(PEScanner, TooManySectionsWithOptionLeaveNoSections) {
  test::AnalysedPe pe = AnalysePe(Built([](PeBuilder& b) { b.number_of_sections = 97; }));
  EXPECT_EQ(pe.result, 1);
  EXPECT_FALSE(pe.scanner->HasError());
  EXPECT_TRUE(pe.scanner->Sections().empty());
  EXPECT_EQ(pe.scanner->NumberOfSections(), 97);
}

TEST(PEScanner, NinetySixSectionsAreAccepted) {
  PeBuilder builder;
  builder.sections.clear();
  for (int i = 0; i < 96; ++i) {
    std::string name = "s";
    name += std::to_string(i);
    builder.sections.push_back(Section(name, std::string(16, char(i))));
  }
  test::AnalysedPe pe = AnalysePe(builder.Build());
  EXPECT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  EXPECT_FALSE(pe.scanner->HasError());
  EXPECT_EQ(pe.scanner->Sections().size(), 96u);
}

TEST(PEScanner, RawDataPastTheEndIsCutToTheFile) {
  std::string bytes = PeBuilder().Build();
  bytes.resize(bytes.size() - 100);
  test::AnalysedPe pe = AnalysePe(bytes);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  EXPECT_FALSE(pe.scanner->HasError());
  const SectionInfo last = pe.scanner->GetSection(1);
  EXPECT_EQ(last.SizeOfRawData, 0x200u);
  EXPECT_EQ(last.AlignedRawSize, 0x200u - 100);
  EXPECT_EQ(last.Digest, MD5OfString(bytes.substr(0x400)));
  EXPECT_EQ(pe.scanner->SectionData(1), bytes.substr(0x400));
}

TEST(PEScanner, PE32PlusHasSectionsButNoEntryPointBytes) {
  std::string bytes = Built([](PeBuilder& b) { b.pe32plus = true; });
  test::AnalysedPe pe = AnalysePe(bytes);
  EXPECT_EQ(pe.result, 0);
  EXPECT_FALSE(pe.scanner->HasError());
  EXPECT_TRUE(pe.scanner->IsPE32Plus());
  EXPECT_EQ(pe.scanner->Digest(), MD5OfString(bytes));
  ASSERT_EQ(pe.scanner->Sections().size(), 2u);
  EXPECT_EQ(pe.scanner->Sections()[0].Digest, MD5OfString(bytes.substr(0x200, 0x200)));
  EXPECT_EQ(pe.scanner->EntryPointBytesRead(), 0);
  EXPECT_EQ(pe.scanner->EntryPointOffset(), 0x200u);
}

TEST(PEScanner, NativeSubsystemWithoutAlignmentsIsAccepted) {
  PeBuilder builder;
  builder.subsystem = 1;
  builder.section_alignment = 0;
  builder.file_alignment = 0;
  builder.sections[0].data.resize(0x123);
  test::BuiltPe built = builder.BuildWithLayout();
  test::AnalysedPe pe = AnalysePe(built.bytes);
  EXPECT_EQ(pe.result, 1);
  EXPECT_EQ(pe.scanner->ErrorText(), "");
  ASSERT_EQ(pe.scanner->Sections().size(), 2u);
  // Without alignment nothing is rounded.
  EXPECT_EQ(pe.scanner->Sections()[0].AlignedRva, built.size_of_headers);
  EXPECT_EQ(pe.scanner->Sections()[0].AlignedVirtualSize, 0x123u);
  EXPECT_EQ(pe.scanner->Sections()[0].AlignedRawSize, 0x123u);
}

TEST(PEScanner, EntryPointOutsideEverySectionReadsTheFileStart) {
  for (uint32_t entry : {0x50000u, 0x1800u /* in .text's memory but past its raw data */}) {
    test::AnalysedPe pe = AnalysePe(Built([&](PeBuilder& b) { b.entry_point = entry; }));
    EXPECT_EQ(pe.result, 1);
    EXPECT_EQ(pe.scanner->EntryPointOffset(), 0u);
    EXPECT_EQ(pe.scanner->EntryPointBuffer()[0], 'M');
    EXPECT_EQ(pe.scanner->EntryPointBuffer()[1], 'Z');
    EXPECT_EQ(pe.scanner->EntryPointBytesRead(), int32_t(kDefaultFileSize));
  }
}

TEST(PEScanner, SectionNamesStopAtZeroAndKeepSevenCharacters) {
  const struct {
    std::string written;
    std::string stored;
  } kCases[] = {{".textbss", ".textbs"}, {"ABCDEFGH", "ABCDEFG"}, {".rs\0rc", ".rs"}, {"", ""}, {".data", ".data"}};
  for (const auto& c : kCases) {
    test::AnalysedPe pe = AnalysePe(Built([&](PeBuilder& b) { b.sections[1].name = c.written; }));
    ASSERT_EQ(pe.scanner->Sections().size(), 2u);
    EXPECT_EQ(pe.scanner->Sections()[1].Name, c.stored);
  }
}

TEST(PEScanner, ZeroVirtualSizeTakesTheRawSize) {
  test::AnalysedPe pe = AnalysePe(Built([](PeBuilder& b) { b.sections[1].virtual_size = 0; }));
  ASSERT_EQ(pe.result, 1);
  EXPECT_EQ(pe.scanner->GetSection(1).AlignedVirtualSize, 0x1000u);
}

TEST(PEScanner, FileAlignmentIsRepairedWhenSectionsSitOn0x200) {
  PeBuilder builder;
  builder.file_alignment = 0x1000;
  builder.size_of_headers = 0x200;
  builder.sections[0].raw_pointer = 0x200;
  builder.sections[0].raw_size = 0x200;
  builder.sections[1].raw_pointer = 0x400;
  builder.sections[1].raw_size = 0x180;
  builder.overlay = std::string(0x200, 'o');
  test::AnalysedPe pe = AnalysePe(builder.Build(), kChecker);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  EXPECT_EQ(pe.scanner->GetSection(0).AlignedRawOffset, 0x200u);  // 0 with the header's 0x1000
  EXPECT_EQ(pe.scanner->GetSection(1).AlignedRawSize, 0x200u);
}

TEST(PEScanner, RvaToOffsetFollowsHeadersAndSectionRawData) {
  test::AnalysedPe pe = AnalysePe(PeBuilder().Build());
  const uint64_t header_size = 0x1000;
  const struct {
    uint32_t rva;
    uint32_t offset;
  } kCases[] = {
      {0, 0},          {0x100, 0x100},  {0x5FF, 0x5FF}, {0x600, 0} /* in the headers but past the file */,
      {0x1000, 0x200}, {0x11FF, 0x3FF}, {0x1200, 0} /* past .text's raw data */,
      {0x2000, 0x400}, {0x21FF, 0x5FF}, {0x2200, 0},    {0xFFFFFFFF, 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(pe.scanner->RvaToOffset(c.rva, header_size), c.offset) << std::hex << c.rva;
}

TEST(PEScanner, RvaToOffsetPrefersTheLastOverlappingSection) {
  test::AnalysedPe pe = AnalysePe(Built([](PeBuilder& b) { b.sections[1].virtual_address = 0x1000; }), kChecker);
  ASSERT_EQ(pe.result, 1);
  EXPECT_EQ(pe.scanner->RvaToOffset(0x1010, 0x1000), 0x410u);
}

TEST(PEScanner, LargeFilesAreDigestedInBlocksWithTheSameResults) {
  // Over the in-memory limit, with a section larger than one block, two sections
  // sharing their raw data and an overlay.
  PeBuilder builder;
  builder.sections[1].data = std::string(3 << 20, '\0');
  for (size_t i = 0; i < builder.sections[1].data.size(); ++i) builder.sections[1].data[i] = char(i * 31 >> 3);
  builder.sections.push_back(Section(".dup", ""));
  builder.overlay = std::string((1 << 20) + 17, 'o');
  test::BuiltPe built = builder.BuildWithLayout();
  // .dup maps the raw data of .data once more.
  const size_t dup_header = built.section_table_offset + 2 * 40;
  PatchU32(built.bytes, dup_header + 16, built.sections[1].raw_size);
  PatchU32(built.bytes, dup_header + 20, built.sections[1].raw_pointer);
  PatchU32(built.bytes, dup_header + 8, built.sections[1].raw_size);

  test::AnalysedPe pe = AnalysePe(built.bytes, kChecker);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  EXPECT_EQ(pe.scanner->Digest(), MD5OfString(built.bytes));
  const std::string data = built.bytes.substr(built.sections[1].raw_pointer, built.sections[1].raw_size);
  EXPECT_EQ(pe.scanner->Sections()[1].Digest, MD5OfString(data));
  EXPECT_EQ(pe.scanner->Sections()[2].Digest, MD5OfString(data));
  EXPECT_EQ(pe.scanner->SectionData(2).data(), pe.scanner->SectionData(1).data());  // shared, not copied
  EXPECT_EQ(pe.scanner->Sections()[0].Digest, MD5OfString(built.bytes.substr(0x200, 0x200)));
}

TEST(PEScanner, ShortReadsAreRepeatedUntilComplete) {
  PeBuilder builder;
  builder.sections[1].data = std::string((1 << 20) + 5000, 'd');
  std::string bytes = builder.Build();
  auto file = std::make_unique<test::FakeFile>(bytes);
  file->LimitEachRead(333);
  PEScanner scanner("trickle.exe", std::move(file));
  ScanContext context{"", kCheckerExe};
  EXPECT_EQ(scanner.Execute(&context), 1) << scanner.ErrorText();
  EXPECT_EQ(scanner.Digest(), MD5OfString(bytes));
  EXPECT_EQ(scanner.Sections()[1].AlignedRawSize, bytes.size() - 0x400);
}

TEST(PEScanner, ASecondAnalysisStartsAfresh) {
  for (size_t data_size : {size_t(0x100), size_t(3) << 20}) {  // held whole, and read by sections
    PeBuilder builder;
    builder.sections[1].data = std::string(data_size, 'q');
    std::string bytes = builder.Build();
    PEScanner scanner("twice.exe", std::make_unique<MemoryFile>(bytes));
    ScanContext context{"", kCheckerExe};
    ASSERT_EQ(scanner.Execute(&context), 1);
    ASSERT_EQ(scanner.Execute(&context), 1) << scanner.ErrorText();
    EXPECT_EQ(scanner.Sections().size(), 2u);
    EXPECT_EQ(scanner.SectionData(1), bytes.substr(0x400));
    EXPECT_EQ(scanner.Digest(), MD5OfString(bytes));
  }
}

TEST(PEScanner, SizeAndReadFailures) {
  const std::string bytes = PeBuilder().Build();
  const struct {
    const char* label;
    std::function<void(test::FakeFile&)> setup;
    int32_t result;
    std::string error;
    int32_t file_size;
  } kCases[] = {
      {"size unknown", [](test::FakeFile& f) { f.ReportSize(std::nullopt); }, -123, "GetFileSize failed", 0},
      {"2 GiB", [](test::FakeFile& f) { f.ReportSize(uint64_t(1) << 31); }, -123, "GetFileSize failed", 0},
      {"4 GiB + 0x600", [](test::FakeFile& f) { f.ReportSize((uint64_t(1) << 32) + 0x600); }, -123,
       "GetFileSize failed", 0},
      {"file shrank", [](test::FakeFile& f) { f.ReportSize(0x800); }, 0, "Can't read full data", 0x800},
      {"read error", [](test::FakeFile& f) { f.FailReadsFrom(0x300); }, 0, "Can't read full data", 0x600},
  };
  for (const auto& c : kCases) {
    auto file = std::make_unique<test::FakeFile>(bytes);
    c.setup(*file);
    PEScanner scanner("fake.exe", std::move(file));
    ScanContext context{"", kCheckerExe};
    SCOPED_TRACE(c.label);
    EXPECT_EQ(scanner.Execute(&context), c.result);
    EXPECT_EQ(scanner.ErrorText(), c.error);
    EXPECT_EQ(scanner.FileSize(), c.file_size);
    EXPECT_EQ(scanner.Digest(), Digest{});
    EXPECT_EQ(context.Name, "");
  }
}

TEST(PEScanner, MissingContextIsRejected) {
  PEScanner scanner("memory.exe", std::make_unique<MemoryFile>(PeBuilder().Build()));
  EXPECT_EQ(scanner.Execute(nullptr), -111);
  EXPECT_EQ(scanner.ErrorText(), "Execute: ctx = nil");
}

TEST(PEScanner, ReadnRepeatsShortReadsAndReportsErrors) {
  {
    auto file = std::make_unique<test::FakeFile>("0123456789");
    file->LimitEachRead(3);
    PEScanner scanner("f", std::move(file));
    char buffer[16] = {};
    EXPECT_EQ(scanner.Readn(buffer, 16), 10);
    EXPECT_EQ(std::string(buffer), "0123456789");
    EXPECT_FALSE(scanner.HasError());
  }
  {
    auto file = std::make_unique<test::FakeFile>("0123456789");
    file->FailReadsFrom(0);
    PEScanner scanner("f", std::move(file));
    char buffer[4];
    EXPECT_EQ(scanner.Readn(buffer, 4), -1);
    EXPECT_EQ(scanner.ErrorText(), "Readn: read error");
  }
}

TEST(PEScannerOpening, MissingFileIsNF) {
  PEScanner scanner(platform::TempFolder() + "vermilax-no-such-file.exe");
  EXPECT_EQ(scanner.ErrorText(), "NF");
}

TEST(PEScannerOpening, RealFileIsAnalysedThroughItsPath) {
  std::string bytes = PeBuilder().Build();
  test::ScratchFile file(bytes, ".exe");
  PEScanner scanner(file.path());
  ASSERT_FALSE(scanner.HasError()) << scanner.ErrorText();
  ScanContext context{"", kCheckerExe};
  EXPECT_EQ(scanner.Execute(&context), 1);
  EXPECT_EQ(scanner.Digest(), MD5OfString(bytes));
  EXPECT_EQ(scanner.FileName(), file.path());
}

TEST(PEScannerOpening, FileWithoutHandleGivesCantOpen) {
  PEScanner scanner("C:\\x.exe", nullptr);
  EXPECT_EQ(scanner.ErrorText(), "Can't open C:\\x.exe file");
}

#ifndef _WIN32
TEST(PEScannerOpening, SystemRefusalGivesTheSystemMessage) {
  // A socket exists as a file but cannot be opened for reading.
  std::string path = platform::TempFolder() + "vmx-sock-" + std::to_string(::getpid());
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  PEScanner scanner(path);
  ::close(fd);
  ::unlink(path.c_str());
  EXPECT_TRUE(scanner.HasError());
  EXPECT_NE(scanner.ErrorText(), "NF");
  EXPECT_EQ(scanner.ErrorText().find("Can't open"), std::string::npos);
}
#endif

}  // namespace
}  // namespace vermilax
