#include "engine/heuristic.h"

#include <gtest/gtest.h>

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

using Strings = std::vector<std::string>;

const test::PeImportModule kInjector = {
    "KERNEL32.dll", {{"OpenProcess", 1}, {"CreateRemoteThread", 2}, {"WriteProcessMemory", 3}}};

PeBuilder Program() {
  PeBuilder b;
  b.imports = {kInjector};
  return b;
}

PeBuilder Library() {
  PeBuilder b = Program();
  b.characteristics = 0x2102;  // DLL
  b.exports = test::PeExportTable{};
  b.exports->functions = {{"ServiceMain", 0x1000, {}}, {"Install", 0x1010, {}}};
  return b;
}

// A section without raw data followed by one with raw data.
PeBuilder UpxLikeProgram() {
  PeBuilder b = Program();
  test::PeSection upx0, upx1;
  upx0.name = "UPX0";
  upx0.virtual_size = 0x10000;
  upx1.name = "UPX1";
  upx1.data = std::string(0x200, '\x5A');
  b.sections = {upx0, upx1};
  return b;
}

class HeuristicTest : public ::testing::Test {
 protected:
  void Load(const Strings& lines, const std::string& version = "v1") {
    std::string db;
    for (const std::string& line : lines) db += line + "\r\n";
    test::WriteArchive(path_, db, version);
    rules_.Load(path_);
  }
  HeuristicMatch Evaluate(const Strings& lines, const PeBuilder& file) {
    Load(lines);
    AnalysedPe pe = AnalysePe(file.Build());
    return rules_.Evaluate(*pe.scanner);
  }

  test::TempDir dir_;
  const std::string path_ = dir_.File("heur.b");
  Heuristic rules_;
};

TEST_F(HeuristicTest, RuleFields) {
  const struct {
    const char* line;
    uint8_t severity;
    bool upx;
    bool notForPrograms;
    Strings imports;
    Strings exports;
    const char* name;
  } kCases[] = {
      {"U:*:*:CreateRemoteThread,WriteProcessMemory:*:Trojan.Injector", 0, false, false,
       {"CreateRemoteThread", "WriteProcessMemory"}, {"*"}, "Trojan.Injector"},
      {"X:UPX:1: a , ,b :e1,e2:N", 1, true, true, {"a", "b"}, {"e1", "e2"}, "N"},
      {"u:*:2:*:*,x:N", 1, false, false, {}, {"*", "x"}, "N"},
      {"U::*:::*:a:b:N:ignored", 0, false, false, {"a"}, {"b"}, "N"},  // empty fields vanish
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    Load({c.line});
    ASSERT_EQ(rules_.Count(), 1);
    const HeuristicRule& r = rules_.Items(0);
    EXPECT_EQ(r.Severity, c.severity);
    EXPECT_EQ(r.NeedsUpxLayout, c.upx);
    EXPECT_EQ(r.NotForPrograms, c.notForPrograms);
    EXPECT_EQ(r.RequiredImports, c.imports);
    EXPECT_EQ(r.RequiredExports, c.exports);
    EXPECT_EQ(r.Name, c.name);
  }
}

TEST_F(HeuristicTest, EmptyLinesCountButNeverMatch) {
  Load({"", "U:*:*:OpenProcess:*:First", "", ""}, "2009-07-18");
  EXPECT_EQ(rules_.Count(), 4);
  EXPECT_EQ(rules_.Version(), "2009-07-18");
  EXPECT_EQ(rules_.Items(0).Name, "");
  EXPECT_EQ(rules_.Items(1).Name, "First");
  EXPECT_TRUE(rules_.Items(2).RequiredImports.empty());
  EXPECT_EQ(rules_.Items(4).Name, "");
  const HeuristicMatch match = Evaluate({"", "", "U:*:*:OpenProcess:*:Third"}, Program());
  EXPECT_EQ(match.Name, "Third");
  EXPECT_EQ(match.Index, 2);  // the line number, empty lines included
}

TEST_F(HeuristicTest, ShortLineStopsTheLoad) {
  for (const char* bad : {"U:*:*:OpenProcess:Name", "   ", "U"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(Load({"U:*:*:OpenProcess:*:Before", bad, "U:*:*:OpenProcess:*:After"}), std::out_of_range);
    EXPECT_EQ(rules_.Count(), 2);  // the bad line counts as a rule that never matches
    EXPECT_EQ(rules_.Items(1).Name, "");
    AnalysedPe pe = AnalysePe(Program().Build());
    EXPECT_EQ(rules_.Evaluate(*pe.scanner).Name, "Before");
  }
}

TEST_F(HeuristicTest, UnreadableArchiveHasNoRules) {
  test::WriteBytes(path_, "not an archive");
  rules_.Load(path_);
  EXPECT_EQ(rules_.Count(), 0);
  AnalysedPe pe = AnalysePe(Program().Build());
  const HeuristicMatch match = rules_.Evaluate(*pe.scanner);
  EXPECT_EQ(match.Name, "");
  EXPECT_EQ(match.Index, -1);
}

TEST_F(HeuristicTest, Conditions) {
  const std::string injector = "CreateRemoteThread,WriteProcessMemory";
  PeBuilder noImports;
  const struct {
    const char* label;
    std::string line;
    PeBuilder file;
    bool match;
  } kCases[] = {
      {"imports present", "U:*:*:" + injector + ":*:R", Program(), true},
      {"one import missing", "U:*:*:CreateRemoteThread,VirtualAllocEx:*:R", Program(), false},
      {"fragment inside a name", "U:*:*:Process:*:R", Program(), true},
      {"letter case counts", "U:*:*:createremotethread:*:R", Program(), false},
      {"no import fragments", "U:*:*:*:*:R", Program(), false},
      {"file without imports", "U:*:*:OpenProcess:*:R", noImports, false},
      {"not for programs: program", "U:*:1:" + injector + ":*:R", Program(), false},
      {"not for programs: library", "U:*:1:" + injector + ":*:R", Library(), true},
      {"other program condition", "U:*:0:" + injector + ":*:R", Program(), true},
      {"layout needed: plain file", "U:UPX:*:" + injector + ":*:R", Program(), false},
      {"layout needed: UPX-like file", "U:UPX:*:" + injector + ":*:R", UpxLikeProgram(), true},
      {"exports present", "U:*:*:OpenProcess:ServiceMain,Install:R", Library(), true},
      {"export fragment", "U:*:*:OpenProcess:Main:R", Library(), true},
      {"export missing", "U:*:*:OpenProcess:ServiceMain,Uninstall:R", Library(), false},
      {"program has no exports", "U:*:*:OpenProcess:ServiceMain:R", Program(), false},
      {"star first: no export condition", "U:*:*:OpenProcess:*,Uninstall:R", Program(), true},
      {"star later is a fragment", "U:*:*:OpenProcess:Install,*:R", Library(), false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Evaluate({c.line}, c.file).Name, c.match ? "R" : "");
  }
}

TEST_F(HeuristicTest, FirstMatchingRuleWinsWithItsSeverity) {
  const HeuristicMatch match = Evaluate({"U:*:*:VirtualAllocEx:*:Miss", "X:*:*:OpenProcess:*:Threat.Rule",
                                         "U:*:*:OpenProcess:*:Suspicious.Rule"},
                                        Program());
  EXPECT_EQ(match.Name, "Threat.Rule");
  EXPECT_EQ(match.Index, 1);
  EXPECT_EQ(rules_.Items(match.Index).Severity, 1);
  EXPECT_EQ(rules_.Items(2).Severity, 0);
}

// Export names are read only once some rule's imports pass.
TEST_F(HeuristicTest, ExportsReadOnlyAfterAnImportTestPasses) {
  Load({"U:*:*:VirtualAllocEx:ServiceMain:R"});
  AnalysedPe pe = AnalysePe(Library().Build());
  EXPECT_EQ(rules_.Evaluate(*pe.scanner).Index, -1);
  EXPECT_EQ(pe.scanner->ImportNames(), "OpenProcess,CreateRemoteThread,WriteProcessMemory,");
  EXPECT_EQ(pe.scanner->ExportNames(), "");

  Load({"U:*:*:OpenProcess:Missing:A", "U:*:*:OpenProcess:ServiceMain:B"});
  EXPECT_EQ(rules_.Evaluate(*pe.scanner).Name, "B");
  EXPECT_EQ(pe.scanner->ExportNames(), "ServiceMain,Install,");
}

}  // namespace
}  // namespace vermilax
