#include <gtest/gtest.h>

#include "engine/pe_scanner.h"
#include "support/pe_analysis.h"
#include "support/pe_writer.h"

namespace vermilax {
namespace {

using test::AnalysePe;
using test::PeBuilder;
using test::PeImportFunction;
using test::PeImportModule;

PeImportFunction ByName(const std::string& name, uint16_t hint = 0) { return {name, hint, 0}; }
PeImportFunction ByOrdinal(uint16_t ordinal) { return {"", 0, ordinal}; }

std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char((v >> (8 * i)) & 0xFF);
  return s;
}

test::AnalysedPe WithImports(std::vector<PeImportModule> modules) {
  PeBuilder b;
  b.imports = std::move(modules);
  test::AnalysedPe pe = AnalysePe(b.Build());
  pe.scanner->ReadImports();
  return pe;
}

TEST(PEImports, NamesInDirectoryOrderEachFollowedByAComma) {
  test::AnalysedPe pe = WithImports({{"KERNEL32.dll", {ByName("LoadLibraryA", 7), ByName("GetProcAddress", 9)}}});
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  EXPECT_EQ(pe.scanner->ImportNames(), "LoadLibraryA,GetProcAddress,");
  ASSERT_EQ(pe.scanner->Imports().size(), 1u);
  const ImportExport& module = pe.scanner->Imports()[0];
  EXPECT_EQ(module.Name, "KERNEL32.dll");
  ASSERT_EQ(module.Items.size(), 2u);
  EXPECT_EQ(module.Items[0].Name, "LoadLibraryA");
  EXPECT_EQ(module.Items[0].Number, 7);
  EXPECT_EQ(module.Items[1].Number, 9);
}

TEST(PEImports, OrdinalImportsAddItemsButNoNames) {
  test::AnalysedPe pe = WithImports({{"ws2_32.dll", {ByOrdinal(23), ByName("WSAStartup"), ByOrdinal(0x8001)}}});
  EXPECT_EQ(pe.scanner->ImportNames(), "WSAStartup,");
  const auto& items = pe.scanner->Imports().at(0).Items;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Name, "");
  EXPECT_EQ(items[0].Number, 23);
  EXPECT_EQ(items[2].Number, 0x8001);
}

TEST(PEImports, ModulesDifferingInCaseShareOneCollection) {
  test::AnalysedPe pe = WithImports({{"KERNEL32.dll", {ByName("ExitProcess")}},
                                     {"user32.dll", {ByName("MessageBoxA")}},
                                     {"kernel32.DLL", {ByName("Sleep")}}});
  EXPECT_EQ(pe.scanner->ImportNames(), "ExitProcess,MessageBoxA,Sleep,");
  ASSERT_EQ(pe.scanner->Imports().size(), 2u);
  const ImportExport& kernel = pe.scanner->Imports()[0];
  EXPECT_EQ(kernel.Name, "KERNEL32.dll");
  ASSERT_EQ(kernel.Items.size(), 2u);
  EXPECT_EQ(kernel.Items[1].Name, "Sleep");
}

TEST(PEImports, FirstThunkIsUsedWithoutOriginalFirstThunkAndHintsAreSigned) {
  PeImportModule module{"a.dll", {ByName("One", 0xFFFF), ByName("Two")}, true};
  test::AnalysedPe pe = WithImports({module});
  EXPECT_EQ(pe.scanner->ImportNames(), "One,Two,");
  EXPECT_EQ(pe.scanner->Imports().at(0).Items.at(0).Number, -1);
}

TEST(PEImports, EmptyModuleNameEndsTheWalk) {
  test::AnalysedPe pe = WithImports({{"a.dll", {ByName("A")}}, {"", {ByName("B")}}, {"c.dll", {ByName("C")}}});
  EXPECT_EQ(pe.scanner->ImportNames(), "A,");
}

TEST(PEImports, RereadingGivesTheSameResult) {
  test::AnalysedPe pe = WithImports({{"a.dll", {ByName("A"), ByOrdinal(3)}}});
  pe.scanner->ReadImports();
  EXPECT_EQ(pe.scanner->ImportNames(), "A,");
  EXPECT_EQ(pe.scanner->Imports().at(0).Items.size(), 2u);
}

TEST(PEImports, NothingIsReadWithoutADirectoryInASection) {
  PeBuilder outside;
  outside.imports = {{"a.dll", {ByName("A")}}};
  outside.data_directories[1] = {0x90000, 40};
  PeBuilder none;
  PeBuilder many;
  many.imports = {{"a.dll", {ByName("A")}}};
  many.number_of_sections = 97;
  for (const std::string& bytes : {outside.Build(), none.Build(), many.Build(), std::string("text file")}) {
    test::AnalysedPe pe = AnalysePe(bytes);
    pe.scanner->ReadImports();
    pe.scanner->ReadExports();
    EXPECT_EQ(pe.scanner->ImportNames(), "");
    EXPECT_TRUE(pe.scanner->Imports().empty());
    EXPECT_EQ(pe.scanner->ExportNames(), "");
  }
}

TEST(PEImports, HostileImportTableIsBoundedByTheFileSize) {
  // 2000 descriptors share one array of 4000 thunks that all name the same
  // 255-character function: read naively that is 8 million names and 2 GB of text.
  const uint32_t va = 0x3000;
  const uint32_t descriptors = 2000, thunks = 4000;
  const uint32_t thunk_at = (descriptors + 1) * 20;
  const uint32_t name_at = thunk_at + (thunks + 1) * 4;
  const uint32_t module_at = name_at + 2 + 256;
  std::string data;
  for (uint32_t d = 0; d < descriptors; ++d)
    data += LE32(va + thunk_at) + LE32(0) + LE32(0) + LE32(va + module_at) + LE32(va + thunk_at);
  data += std::string(20, '\0');
  for (uint32_t t = 0; t < thunks; ++t) data += LE32(va + name_at);
  data += LE32(0);
  data += std::string(2, '\0') + std::string(255, 'F') + '\0';
  data += std::string("evil.dll") + '\0';
  PeBuilder b;
  test::PeSection evil;
  evil.name = ".evil";
  evil.data = data;
  b.sections.push_back(evil);
  b.data_directories[1] = {va, 20};
  std::string bytes = b.Build();

  test::AnalysedPe pe = AnalysePe(bytes);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  pe.scanner->ReadImports();
  const std::string& names = pe.scanner->ImportNames();
  EXPECT_GT(names.size(), 10000u);
  EXPECT_LE(names.size(), bytes.size());
  EXPECT_EQ(names.substr(0, 256), std::string(255, 'F') + ",");
  ASSERT_EQ(pe.scanner->Imports().size(), 1u);
}

TEST(PEImports, ThunkArrayRunningToTheEndOfTheFileStopsThere) {
  // The thunks have no terminator: the file ends right after the last one.
  const uint32_t va = 0x3000;
  std::string data = LE32(0) + LE32(0) + LE32(0) + LE32(va + 44) + LE32(va + 52);
  data += std::string(20, '\0');
  data += std::string("\0\0X\0", 4);
  data += std::string("m.dll\0\0\0", 8);
  for (int i = 0; i < 200; ++i) data += LE32(va + 40);
  PeBuilder b;
  test::PeSection s;
  s.name = ".imp";
  s.data = data;
  b.sections.push_back(s);
  b.data_directories[1] = {va, 20};
  test::BuiltPe built = b.BuildWithLayout();
  std::string bytes = built.bytes.substr(0, built.sections[2].raw_pointer + data.size());
  test::AnalysedPe pe = AnalysePe(bytes, kScanChecker);
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  pe.scanner->ReadImports();
  std::string expected;
  for (int i = 0; i < 200; ++i) expected += "X,";
  EXPECT_EQ(pe.scanner->ImportNames(), expected);
}

TEST(PEExports, NamesInTableOrderAndSortedEntries) {
  PeBuilder b;
  b.characteristics = 0x2102;
  b.exports = test::PeExportTable{};
  b.exports->base = 5;
  b.exports->functions = {{"Zeta", 0x1100, {}}, {"Alpha", 0x1200, {}}};
  test::AnalysedPe pe = AnalysePe(b.Build());
  ASSERT_EQ(pe.result, 1) << pe.scanner->ErrorText();
  pe.scanner->ReadExports();
  EXPECT_EQ(pe.scanner->ExportNames(), "Zeta,Alpha,");
  EXPECT_EQ(pe.scanner->Exports(), (std::vector<std::string>{"Alpha\t6\t4608", "Zeta\t5\t4352"}));
}

TEST(PEExports, CountIsTheSmallerOfFunctionsAndNames) {
  for (auto [functions, names] : {std::pair{1u, 3u}, std::pair{3u, 1u}}) {
    PeBuilder b;
    b.exports = test::PeExportTable{};
    b.exports->functions = {{"A", 1, {}}, {"B", 2, {}}, {"C", 3, {}}};
    b.exports->number_of_functions = functions;
    b.exports->number_of_names = names;
    test::AnalysedPe pe = AnalysePe(b.Build());
    pe.scanner->ReadExports();
    EXPECT_EQ(pe.scanner->ExportNames(), "A,");
  }
}

TEST(PEExports, NonZeroCharacteristicsMeanNoExports) {
  PeBuilder b;
  b.exports = test::PeExportTable{};
  b.exports->characteristics = 1;
  b.exports->functions = {{"A", 1, {}}};
  test::AnalysedPe pe = AnalysePe(b.Build());
  pe.scanner->ReadExports();
  EXPECT_EQ(pe.scanner->ExportNames(), "");
  EXPECT_TRUE(pe.scanner->Exports().empty());
}

TEST(PEExports, HugeCountsAreBoundedByTheFile) {
  PeBuilder b;
  b.exports = test::PeExportTable{};
  b.exports->functions = {{std::string(200, 'N'), 1, {}}};
  b.exports->number_of_functions = 0xFFFFFFFF;
  b.exports->number_of_names = 0xFFFFFFFF;
  std::string bytes = b.Build();
  test::AnalysedPe pe = AnalysePe(bytes);
  pe.scanner->ReadExports();
  EXPECT_LE(pe.scanner->ExportNames().size(), bytes.size());
  EXPECT_EQ(pe.scanner->ExportNames().substr(0, 201), std::string(200, 'N') + ",");
}

TEST(PEImports, FindSectionByRvaUsesTheUnalignedVirtualSize) {
  test::AnalysedPe pe = AnalysePe(PeBuilder().Build());
  const struct {
    uint32_t rva;
    std::optional<size_t> section;
  } kCases[] = {{0, std::nullopt},      {0xFFF, std::nullopt}, {0x1000, 0},          {0x11FF, 0},
                {0x1200, std::nullopt}, {0x2000, 1},          {0x217F, 1},          {0x2180, std::nullopt},
                {0x80001000, std::nullopt}};
  for (const auto& c : kCases) EXPECT_EQ(pe.scanner->FindSectionByRva(c.rva), c.section) << std::hex << c.rva;
}

}  // namespace
}  // namespace vermilax
