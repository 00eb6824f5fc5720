#include "engine/checker.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "engine/md5.h"
#include "platform/files.h"
#include "scan/settings.h"
#include "support/archive_builder.h"
#include "support/pe_writer.h"
#include "support/sample_set.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

using test::SampleFile;

// A database folder and a sample folder; Heur on and DeepScan off unless a test says otherwise.
class CheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetSettings().OverrideHeur(true);
    GetSettings().OverrideDeepScan(false);
    platform::CreateFolder(db_.path());
  }
  void TearDown() override {
    GetSettings().OverrideHeur(true);
    GetSettings().OverrideDeepScan(false);
  }
  std::string Folder() const { return db_.path() + platform::PathSeparator(); }
  void WriteDb(const std::string& name, const std::string& text) { test::WriteArchive(db_.File(name), text, "1"); }
  void WriteSampleDatabases() {
    for (const auto& [name, text] : test::BuildSampleDatabaseTexts()) WriteDb(name, text);
  }
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = files_.File(name);
    EXPECT_TRUE(platform::WriteWholeFile(path, bytes));
    return path;
  }
  static std::string Shown(const CheckResult& result) {
    std::string text(VerdictName(result.verdict));
    if (result.verdict != Verdict::Clean) text += " " + result.threatName;
    return text;
  }
  const SampleFile& Sample(const std::string& name) {
    for (const SampleFile& sample : samples_)
      if (sample.name == name) return sample;
    throw std::logic_error(name);
  }

  test::TempDir db_;
  test::TempDir files_;
  std::vector<SampleFile> samples_ = test::BuildSampleFiles();
  Checker checker_{false};
};

TEST_F(CheckerTest, LoadDatabasesNotifiesInOrderAndLeavesDeepSetsAlone) {
  WriteSampleDatabases();
  std::vector<std::string> notified;
  checker_.SetOnDatabaseLoading([&](Checker& sender, const std::string& name) {
    EXPECT_EQ(&sender, &checker_);
    notified.push_back(name);
  });
  checker_.LoadDatabases(Folder());

  std::vector<std::string> listed;  // the packer files in the order the system lists them
  platform::ListFolder(Folder(), "*.z", [&](const platform::FolderEntry& entry) {
    listed.push_back(entry.name);
    return true;
  });
  std::vector<std::string> expected = {"heur.b", "md.c", "rico.c", "wl.c"};
  expected.insert(expected.end(), listed.begin(), listed.end());
  EXPECT_EQ(notified, expected);
  ASSERT_EQ(checker_.PackerSets().size(), 5u);
  for (size_t i = 0; i < listed.size(); ++i)
    EXPECT_EQ(checker_.PackerSets()[i]->Name() + ".z", listed[i]);
  EXPECT_EQ(checker_.DatabaseFolder(), Folder());
  EXPECT_EQ(checker_.Md5AddOn().Count(), 1);  // read with md.c, without its own notification
  EXPECT_EQ(checker_.SectionSignatures().Count(), 0);
  EXPECT_EQ(checker_.DeepSignatures().Count(), 0);
  EXPECT_FALSE(checker_.HasDeepScanDatabases());
  EXPECT_EQ(checker_.StrongSignatureCount(), 3);
  EXPECT_EQ(checker_.HeaderSignatureCount(), 6);
}

TEST_F(CheckerTest, EmptyFolderLoadsNothingAndJudgesByStructureOnly) {
  int notifications = 0;
  checker_.SetOnDatabaseLoading([&](Checker&, const std::string&) { ++notifications; });
  checker_.LoadDatabases(db_.path());  // without the trailing separator
  EXPECT_EQ(checker_.DatabaseFolder(), Folder());
  EXPECT_EQ(notifications, 0);
  EXPECT_TRUE(checker_.PackerSets().empty());
  EXPECT_EQ(Shown(checker_.CheckFile(WriteFile("a.exe", Sample("threat-digest.exe").bytes))), "Clean");
}

TEST_F(CheckerTest, MalformedAddOnDatabaseIsDeletedAndKeepsItsGoodRecords) {
  WriteDb("md.c", "");
  const std::string good = test::MD5Line(MD5OfString("x"), 1, "Good");
  WriteDb("amd.c", good + "\r\nbroken\r\n");
  const int32_t archiveSize = int32_t(*platform::FindFileSize(db_.File("amd.c")));
  EXPECT_NO_THROW(checker_.LoadDatabases(Folder()));
  EXPECT_FALSE(platform::FileExists(db_.File("amd.c")));
  EXPECT_NE(checker_.Md5AddOn().Find(1, MD5OfString("x")), nullptr);
  EXPECT_EQ(checker_.AddOnMd5FileSize(), archiveSize);
}

TEST_F(CheckerTest, MalformedLineElsewhereStopsLoadingAtThatSet) {
  WriteDb("md.c", "broken\r\n");
  WriteDb("wl.c", test::MD5Line(MD5OfString("x"), 1, "x") + "\r\n");
  WriteDb("a.z", "[A]\r\nsignature = 60\r\nep_only = true\r\n");
  std::vector<std::string> notified;
  checker_.SetOnDatabaseLoading([&](Checker&, const std::string& name) { notified.push_back(name); });
  EXPECT_ANY_THROW(checker_.LoadDatabases(Folder()));
  EXPECT_EQ(notified, std::vector<std::string>({"md.c"}));
  EXPECT_TRUE(checker_.PackerSets().empty());
}

TEST_F(CheckerTest, StatisticsListEverySetWithCrLineEnds) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  std::string packers;
  for (const auto& set : checker_.PackerSets())
    packers += set->Name() + ".z - headers: [" + std::to_string(set->Count()) + "]\r";
  EXPECT_EQ(checker_.GetDatabaseStatistics(),
            "heur.b - heuristic rules: [2]\rmd.c - strong signatures: [2]\rrico.c - resource signatures: [1]\r"
            "wl.c - white list: [1]\r" + packers);
  checker_.LoadDeepScanDatabases();
  EXPECT_EQ(checker_.GetDatabaseStatistics(),
            "heur.b - heuristic rules: [2]\rmd.c - strong signatures: [2]\rrico.c - resource signatures: [1]\r"
            "smd.c - sections signatures: [1]\rvs.c - deep scan signatures: [1]\rwl.c - white list: [1]\r" +
                packers);
}

// Every sample gets the verdict it was made for, with and without the deep scan.
TEST_F(CheckerTest, SamplesGetTheirVerdicts) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  checker_.LoadDeepScanDatabases();  // loaded, yet consulted only with DeepScan on
  for (bool deep : {false, true}) {
    GetSettings().OverrideDeepScan(deep);
    checker_.StartLog();
    for (const SampleFile& sample : samples_) {
      const CheckResult result = checker_.CheckFile(WriteFile(sample.name, sample.bytes));
      EXPECT_EQ(Shown(result), deep ? sample.expectedDeep : sample.expected) << sample.name << " deep " << deep;
      if (sample.name == "not-a-program.exe") continue;
      EXPECT_EQ(result.fileSize, int32_t(sample.bytes.size())) << sample.name;
      EXPECT_EQ(result.digestText, DigestToHex(MD5OfString(sample.bytes))) << sample.name;
    }
  }
}

TEST_F(CheckerTest, HeurOffGivesNoHeuristicNamesButSignaturesStillWork) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  GetSettings().OverrideHeur(false);
  for (const SampleFile& sample : samples_) {
    const CheckResult result = checker_.CheckFile(WriteFile(sample.name, sample.bytes));
    EXPECT_EQ(result.threatName.find("HEUR."), std::string::npos) << sample.name;
    EXPECT_EQ(result.threatName.find(".Sample.Injector"), std::string::npos);
    EXPECT_EQ(result.threatName.find(".Sample.Keylogger"), std::string::npos);
  }
  EXPECT_EQ(Shown(checker_.CheckFile(WriteFile("again.exe", Sample("threat-digest.exe").bytes))),
            "Threat Trojan.Sample.Digest");
}

TEST_F(CheckerTest, SamePathTwiceIsCleanUntilTheNextLog) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  const std::string path = WriteFile("x.exe", Sample("threat-digest.exe").bytes);
  EXPECT_EQ(Shown(checker_.CheckFile(path)), "Threat Trojan.Sample.Digest");
  const CheckResult again = checker_.CheckFile(path);
  EXPECT_EQ(Shown(again), "Clean");
  EXPECT_EQ(again.fileSize, 0);
  EXPECT_EQ(again.digestText, "");
  checker_.StartLog();
  EXPECT_EQ(Shown(checker_.CheckFile(path)), "Threat Trojan.Sample.Digest");
}

TEST_F(CheckerTest, ChangedContentUnderARememberedPathOfAnotherSizeIsJudgedAgain) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  const std::string path = WriteFile("x.exe", Sample("clean-program.exe").bytes);
  EXPECT_EQ(Shown(checker_.CheckFile(path)), "Clean");
  WriteFile("x.exe", Sample("threat-digest.exe").bytes);
  EXPECT_EQ(Shown(checker_.CheckFile(path)), "Threat Trojan.Sample.Digest");
}

TEST_F(CheckerTest, WhiteListedFileIsJudgedEveryTime) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  const SampleFile& sample = Sample("white-listed.exe");
  const std::string path = WriteFile(sample.name, sample.bytes);
  for (int i = 0; i < 2; ++i) {
    const CheckResult result = checker_.CheckFile(path);
    EXPECT_EQ(Shown(result), "Clean");
    EXPECT_EQ(result.digestText, DigestToHex(MD5OfString(sample.bytes)));
    EXPECT_EQ(result.fileSize, int32_t(sample.bytes.size()));
  }
  EXPECT_EQ(checker_.CheckedFiles().Count(), 0);
  EXPECT_TRUE(checker_.IsFileWhiteListed(path));
  EXPECT_FALSE(checker_.IsFileWhiteListed(WriteFile("other.exe", Sample("clean-program.exe").bytes)));
  EXPECT_ANY_THROW(checker_.IsFileWhiteListed(files_.File("missing.exe")));
}

TEST_F(CheckerTest, PathLetterCaseDoesNotMatterToTheCache) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  const std::string bytes = Sample("threat-digest.exe").bytes;
  const std::string upper = WriteFile("THREAT.EXE", bytes);
  const std::string lower = files_.File("threat.exe");
  EXPECT_EQ(Shown(checker_.CheckFile(upper)), "Threat Trojan.Sample.Digest");
  if (!platform::FileExists(lower)) WriteFile("threat.exe", bytes);  // case-sensitive file systems
  EXPECT_EQ(Shown(checker_.CheckFile(lower)), "Clean");
}

TEST_F(CheckerTest, ExecutableExtensionsDecideBrokenVersusError) {
  const std::string bytes = Sample("broken.exe").bytes;
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"a.exe", "Suspicious Broken.Executable (SizeOfOptionalHeader too small)"},
      {"b.Exe", "Suspicious Broken.Executable (SizeOfOptionalHeader too small)"},
      {"c.DLL", "Suspicious Broken.Executable (SizeOfOptionalHeader too small)"},
      {"d.ocx", "Suspicious Broken.Executable (SizeOfOptionalHeader too small)"},
      {"e.cpl", "Suspicious Broken.Executable (SizeOfOptionalHeader too small)"},
      {"f.scr", "Error SizeOfOptionalHeader too small"},
      {"g.sys", "Error SizeOfOptionalHeader too small"},
      {"exe", "Error SizeOfOptionalHeader too small"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(checker_.CheckFile(WriteFile(c.name, bytes))), c.shown) << c.name;
}

TEST_F(CheckerTest, LowerCaseMzIsASuspiciousSignature) {
  std::string bytes = Sample("clean-program.exe").bytes;
  bytes[0] = 'm';
  bytes[1] = 'z';
  EXPECT_EQ(Shown(checker_.CheckFile(WriteFile("m.exe", bytes))),
            "Suspicious Suspicious.Signature (Invalid DOS signature)");
}

// The packer-set name is compared with letter case: "MEW" is not the MEW packer.
TEST_F(CheckerTest, PackerSetNamesDecideObfuscation) {
  const std::string pattern = "[far jump]\r\nsignature = E9 10 00 00 00 4F 42 46\r\nep_only = true\r\n";
  const struct {
    const char* file;
    const char* shown;
  } cases[] = {
      {"mew.z", "Threat HEUR.General.MEW"},
      {"MEW.z", "Threat HEUR.Obfuscated.MEW"},
      {"upx.z", "Threat HEUR.Obfuscated.UPX"},
      {"UPX.z", "Threat HEUR.Obfuscated.UPX"},
  };
  for (const auto& c : cases) {
    test::TempDir folder;
    test::WriteArchive(folder.File(c.file), pattern, "1");
    Checker checker(false);
    checker.LoadDatabases(folder.path() + platform::PathSeparator());
    EXPECT_EQ(Shown(checker.CheckFile(WriteFile("o.exe", Sample("obfuscated-layout.exe").bytes))), c.shown)
        << c.file;
  }
}

TEST_F(CheckerTest, SuspiciousPackerGivesWayToAMatchingRule) {
  WriteDb("execrypt.z", "[E]\r\nsignature = 55 8B EC\r\nep_only = true\r\n");
  WriteDb("heur.b", "U:*:*:LoadLibraryA:*:Rule.Name\r\n");
  checker_.LoadDatabases(Folder());
  EXPECT_EQ(Shown(checker_.CheckFile(WriteFile("p.exe", Sample("clean-program.exe").bytes))),
            "Suspicious Rule.Name");
}

TEST_F(CheckerTest, MissingFileIsCleanWithEmptyOutputs) {
  const CheckResult result = checker_.CheckFile(files_.File("missing.exe"));
  EXPECT_EQ(Shown(result), "Clean");
  EXPECT_EQ(result.fileSize, 0);
  EXPECT_EQ(result.digestText, "");
}

TEST_F(CheckerTest, StartLogWritesTheHeaderAndForgetsJudgedFiles) {
  WriteSampleDatabases();
  checker_.LoadDatabases(Folder());
  checker_.AddLogLine("old");
  checker_.CheckFile(WriteFile("a.exe", Sample("clean-program.exe").bytes));
  ASSERT_EQ(checker_.CheckedFiles().Count(), 1);
  checker_.StartLog();
  EXPECT_EQ(checker_.CheckedFiles().Count(), 0);
  const std::vector<std::string> lines = checker_.LogLines();
  ASSERT_EQ(lines.size(), 12u);
  for (size_t blank : {0, 3, 5, 9, 11}) EXPECT_EQ(lines[blank], "") << blank;
  EXPECT_NE(lines[1].find(" v."), std::string::npos);
  EXPECT_EQ(lines[2].rfind("Report file date: ", 0), 0u);
  EXPECT_GT(lines[2].size(), std::string("Report file date: ").size() + 8);
  EXPECT_EQ(lines[4], "Scanning for 3 virus strains and unwanted programs.");
  EXPECT_EQ(lines[6].rfind("Windows version:  ", 0), 0u);
  EXPECT_EQ(lines[7].rfind("Username:         ", 0), 0u);
  EXPECT_EQ(lines[8].rfind("Computer name:    ", 0), 0u);
  EXPECT_EQ(lines[10], "Starting the file scan:");
}

TEST_F(CheckerTest, LogLinesFromTwoThreadsStayWhole) {
  checker_.StartLog();
  auto append = [&](char letter) {
    for (int i = 0; i < 2000; ++i) checker_.AddLogLine(std::string(40, letter));
  };
  std::thread scan(append, 's');
  std::thread ui(append, 'u');
  scan.join();
  ui.join();
  const std::vector<std::string> lines = checker_.LogLines();
  ASSERT_EQ(lines.size(), 12u + 4000u);
  for (size_t i = 12; i < lines.size(); ++i)
    ASSERT_TRUE(lines[i] == std::string(40, 's') || lines[i] == std::string(40, 'u'));
  checker_.AddLogLine("");
  EXPECT_EQ(checker_.LogLines().back(), "");
}

TEST_F(CheckerTest, HasDeepScanDatabasesNeedsMoreThanOneRecord) {
  WriteDb("vs.c", "A:1:EP+0:60E8\r\n");
  checker_.LoadDatabases(Folder());
  checker_.LoadDeepScanDatabases();
  EXPECT_FALSE(checker_.HasDeepScanDatabases());
  WriteDb("vs.c", "A:1:EP+0:60E8\r\nB:1:EP+0:61E8\r\n");
  checker_.ReloadDeepSignatures();
  EXPECT_TRUE(checker_.HasDeepScanDatabases());
}

#ifndef _WIN32
TEST_F(CheckerTest, APipeNamedLikeAProgramIsAnErrorWithoutWaitingForAWriter) {
  const std::string pipe = files_.File("pipe.exe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const CheckResult result = checker_.CheckFile(pipe);
  EXPECT_EQ(result.verdict, Verdict::Error);
  EXPECT_EQ(result.threatName, "Access is denied.");
  EXPECT_THROW(checker_.IsFileWhiteListed(pipe), std::exception);
}
#endif

}  // namespace
}  // namespace vermilax
