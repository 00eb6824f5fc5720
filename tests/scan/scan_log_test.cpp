#include "scan/scan_log.h"

#include <gtest/gtest.h>

#include "engine/checker.h"
#include "env/file_helpers.h"
#include "platform/files.h"
#include "scan/report_item.h"
#include "support/pe_writer.h"
#include "support/scratch_folder.h"

namespace vermilax {
namespace {

TEST(DurationText, SwitchesFormsAboveSixtySecondsAndSixtyMinutes) {
  const struct {
    int64_t seconds;
    const char* text;
  } kCases[] = {
      {0, "Scan completed in 0 seconds"},
      {59, "Scan completed in 59 seconds"},
      {60, "Scan completed in 60 seconds"},
      {61, "Scan completed in 1 minute(s) 1 sec."},
      {125, "Scan completed in 2 minute(s) 5 sec."},
      {3600, "Scan completed in 60 minute(s) 0 sec."},
      {3659, "Scan completed in 60 minute(s) 59 sec."},
      {3660, "Scan completed in 1 hour(s) 1 min. 0 sec."},
      {3661, "Scan completed in 1 hour(s) 1 min. 1 sec."},
      {90061, "Scan completed in 25 hour(s) 1 min. 1 sec."},
      {-5, "Scan completed in 0 seconds"},
  };
  for (const auto& c : kCases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

TEST(ClosingLines, PadTheLabelsToTwentyOneCharacters) {
  const std::vector<std::string> lines = ClosingLines(3, 125, 4711);
  const std::vector<std::string> expected = {
      "",
      "Scan result:         3 infected files",
      "Scan completed in:   Scan completed in 2 minute(s) 5 sec.",
      "Files were scanned:  4711",
  };
  EXPECT_EQ(lines, expected);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find_first_not_of(' ', lines[i].find(':') + 1), 21u) << lines[i];
  }
}

TEST(LogFileName, IsTheTimestampBetweenScanAndLog) {
  EXPECT_EQ(LogFileName({2009, 12, 1, 21, 5, 3}), "scan-2009-12-01 [21-05-03].log");
  EXPECT_EQ(LogFileName({2009, 7, 18, 9, 5, 3}), "scan-2009-07-18 [09-05-03].log");
}

// Describes every file with a fixed text and counts the calls.
struct FakeDescribe {
  std::string text;
  int calls = 0;
  DescribeFunction Function() {
    return [this](const std::string&) {
      ++calls;
      return text;
    };
  }
};

TEST(FindingBlock, ThreatInAFileThatIsNotAnExecutable) {
  FakeDescribe describe;  // no summary for a file that is not a PE file
  const FindingBlock block = MakeFindingBlock(0, "Trojan.Example", kSourceGeneral, "C:\\x\\a.exe", describe.Function());
  EXPECT_EQ(block.LogLines, (std::vector<std::string>{"----- C:\\x\\a.exe ---- General", "\tTrojan.Example", "", ""}));
  EXPECT_EQ(block.ReportPiece, "\r\n\r\n\r\n----- C:\\x\\a.exe ---- General\tThreat\tTrojan.Example\t\r\n");
}

TEST(FindingBlock, SummaryGoesIntoLogAndReportAndErrorsStayShort) {
  const std::string summary = "\tMD5: ABC\r\n\t\t.text 123\r\n";
  const struct {
    uint8_t verdict;
    std::vector<std::string> log;
    std::string report;
    int describe_calls;
  } kCases[] = {
      {1,
       {"----- p ---- General", "\tHeur.X", summary, ""},
       "\r\n\r\n\r\n----- p ---- General\tSuspicious\tHeur.X\t" + summary + "\r\n",
       1},
      {3, {"----- p ---- General", "\tHeur.X"}, "", 0},
  };
  for (const auto& c : kCases) {
    FakeDescribe describe{summary};
    const FindingBlock block = MakeFindingBlock(c.verdict, "Heur.X", kSourceGeneral, "p", describe.Function());
    EXPECT_EQ(block.LogLines, c.log) << int(c.verdict);
    EXPECT_EQ(block.ReportPiece, c.report) << int(c.verdict);
    EXPECT_EQ(describe.calls, c.describe_calls) << int(c.verdict);
  }
}

TEST(FindingBlock, ModuleBlocksLogTheStatusOnItsOwnLine) {
  const struct {
    uint8_t status;
    uint8_t source;
    const char* header;
    const char* status_name;
  } kCases[] = {
      {1, kSourceService, "----- m.dll ---- Service", "Threat"},
      {3, kSourceBHO, "----- m.dll ---- BHO", "Suspicious"},
      {0, kSourceActiveX, "----- m.dll ---- ActiveX", "Unknown"},
      {2, kSourceStartup, "----- m.dll ---- Startup", "Secure"},
  };
  for (const auto& c : kCases) {
    FakeDescribe describe{"\tS\r\n"};
    const FindingBlock block = MakeModuleFindingBlock(c.status, "Mod", c.source, "m.dll", describe.Function());
    const std::vector<std::string> log = {c.header, std::string("\t") + c.status_name, "\tMod", "\tS\r\n", ""};
    EXPECT_EQ(block.LogLines, log) << c.header;
    EXPECT_EQ(block.ReportPiece,
              std::string("\r\n\r\n\r\n") + c.header + "\t" + c.status_name + "\tMod\t\tS\r\n\r\n")
        << c.header;
  }
}

TEST(FindingBlock, DescribesRealFilesByDefault) {
  test::ScratchFolder folder;
  const std::string program = folder.WriteFile("prog.exe", test::PeBuilder().Build());
  const std::string text = folder.WriteFile("notes.exe", "plain text");
  const FindingBlock described = MakeFindingBlock(0, "T", kSourceGeneral, program);
  ASSERT_EQ(described.LogLines.size(), 4u);
  EXPECT_NE(described.LogLines[2].find("\r\n"), std::string::npos);
  EXPECT_NE(described.ReportPiece.find(described.LogLines[2]), std::string::npos);
  EXPECT_EQ(MakeFindingBlock(0, "T", kSourceGeneral, text).LogLines[2], "");
}

TEST(WriteScanLog, CreatesMissingFoldersAndReplacesAnOldLog) {
  test::ScratchFolder folder;
  const char sep = platform::PathSeparator();
  const std::string program = folder.Path() + sep + "deep" + sep + "program" + sep;
  const std::string log = program + "logs" + sep + "scan-x.log";
  const std::vector<std::string> lines = {"", "caf\xE9", "a\r\n\tb", ""};
  EXPECT_EQ(ScanLogFolder(program), program + "logs");
  ASSERT_TRUE(WriteScanLog(ScanLogFolder(program), "scan-x.log", lines));
  EXPECT_EQ(ReadFileToString(log), "\r\ncaf\xE9\r\na\r\n\tb\r\n\r\n");
  ASSERT_TRUE(WriteScanLog(ScanLogFolder(program), "scan-x.log", {"short"}));
  EXPECT_EQ(ReadFileToString(log), "short\r\n");
}

TEST(WriteScanLog, FailsQuietlyWhenTheFolderCannotBeMade) {
  test::ScratchFolder folder;
  const std::string file = folder.WriteFile("not-a-folder", "x");
  EXPECT_FALSE(WriteScanLog(file, "scan.log", {"line"}));
  EXPECT_FALSE(CreateFolderWithParents(file + platform::PathSeparator() + "below"));
}

TEST(CreateFolderWithParents, AcceptsTrailingSeparatorsAndExistingFolders) {
  test::ScratchFolder folder;
  const char sep = platform::PathSeparator();
  const std::string deep = folder.Path() + sep + "a" + sep + sep + "b" + sep + "c" + sep;
  EXPECT_TRUE(CreateFolderWithParents(deep));
  EXPECT_TRUE(platform::FolderExists(folder.Path() + sep + "a" + sep + "b" + sep + "c"));
  EXPECT_TRUE(CreateFolderWithParents(folder.Path()));
  EXPECT_FALSE(CreateFolderWithParents(""));
}

TEST(CloseScanLog, AppendsTheClosingLinesAndNamesTheFileAfterTheCurrentTime) {
  test::ScratchFolder folder;
  Checker checker(false);
  checker.StartLog();
  checker.AddLogLine("body");
  const std::string logs = folder.PathOf("logs");
  const std::string path = CloseScanLog(checker, 2, 125, 7, logs);
  ASSERT_FALSE(path.empty());
  std::vector<std::string> entries;
  platform::ListFolder(logs, "*", [&](const platform::FolderEntry& entry) {
    entries.push_back(entry.name);
    return true;
  });
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(path, logs + platform::PathSeparator() + entries[0]);
  EXPECT_EQ(entries[0].rfind("scan-", 0), 0u);
  EXPECT_EQ(entries[0].size(), std::string("scan-2009-12-01 [21-05-03].log").size());
  const std::string text = ReadFileToString(path);
  EXPECT_NE(text.find("body\r\n\r\nScan result:         2 infected files\r\n"
                      "Scan completed in:   Scan completed in 2 minute(s) 5 sec.\r\n"
                      "Files were scanned:  7\r\n"),
            std::string::npos);
  EXPECT_EQ(checker.LogLines().back(), "Files were scanned:  7");
  // A folder that cannot be made: nothing written, the lines are still in the log.
  const std::string file = folder.WriteFile("plain", "x");
  EXPECT_EQ(CloseScanLog(checker, 0, 1, 0, file + platform::PathSeparator() + "logs"), "");
}

}  // namespace
}  // namespace vermilax
