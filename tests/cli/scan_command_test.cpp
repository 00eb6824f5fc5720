#include "cli/scan_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "env/file_helpers.h"
#include "platform/files.h"
#include "scan/settings.h"
#include "support/archive_builder.h"
#include "support/sample_set.h"
#include "support/scratch_folder.h"
#include "support/tool_run.h"

namespace vermilax {
namespace {

using Json = nlohmann::json;

using test::RunTool;
using test::ToolRun;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LogFiles(const std::string& folder) {
  std::vector<std::string> names;
  platform::ListFolder(folder, "scan-*.log", [&](const platform::FolderEntry& entry) {
    names.push_back(folder + platform::PathSeparator() + entry.name);
    return true;
  });
  return names;
}

// The sample databases, the samples in a folder of their own, and a log folder.
class ScanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, text] : test::BuildSampleDatabaseTexts()) test::WriteArchive(db_.PathOf(name), text, "1");
    for (const test::SampleFile& sample : samples_) files_.WriteFile(sample.name, sample.bytes);
  }
  std::vector<std::string> ScanArgs(std::vector<std::string> options, const std::string& folder) {
    std::vector<std::string> args = {"scan", "--db", db_.Path(), "--log-dir", logs_.Path()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(folder);
    return args;
  }

  test::ScratchFolder db_, files_, logs_;
  std::vector<test::SampleFile> samples_ = test::BuildSampleFiles();
};

TEST_F(ScanCommandTest, PrintsEveryFindingThenTheClosingLinesAndWritesTheLog) {
  const ToolRun run = RunTool(ScanArgs({}, files_.Path()));
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 3u);
  // One line per sample that is not clean, in whatever order the folder lists them.
  std::vector<std::string> expected, printed(lines.begin(), lines.end() - 3);
  int infected = 0;
  for (const test::SampleFile& sample : samples_) {
    if (sample.expected == "Clean") continue;
    const size_t blank = sample.expected.find(' ');
    const std::string verdict = sample.expected.substr(0, blank);
    expected.push_back(files_.PathOf(sample.name) + ": " + sample.expected.substr(blank + 1) + " (" + verdict + ")");
    if (verdict != "Error") ++infected;
  }
  std::sort(expected.begin(), expected.end());
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed, expected);
  EXPECT_EQ(lines[lines.size() - 3], "Scan result:         " + std::to_string(infected) + " infected files");
  EXPECT_EQ(lines[lines.size() - 2].rfind("Scan completed in:   Scan completed in ", 0), 0u);
  EXPECT_EQ(lines.back(), "Files were scanned:  " + std::to_string(samples_.size()));

  const std::vector<std::string> logs = LogFiles(logs_.Path());
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = ReadFileToString(logs[0]);
  EXPECT_NE(log.find("\r\nStarting the file scan:\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\nScan completed.\r\n\r\nScan result:         "), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - lines.back().size() - 2), lines.back() + "\r\n");
  EXPECT_EQ(log.find("Terminated by user"), std::string::npos);
}

TEST_F(ScanCommandTest, JsonGivesOneObjectPerFindingAndASummary) {
  const ToolRun run = RunTool(ScanArgs({"--json", "--no-heur"}, files_.Path()));
  EXPECT_EQ(run.code, 1);
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  int findings = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const Json finding = Json::parse(lines[i]);
    EXPECT_EQ(finding["type"], "finding");
    EXPECT_EQ(finding["source"], "General");
    EXPECT_EQ(std::string(finding["name"]).find("HEUR."), std::string::npos);  // --no-heur
    ++findings;
  }
  const Json summary = Json::parse(lines.back());
  EXPECT_EQ(summary["type"], "summary");
  EXPECT_EQ(summary["findings"], findings);
  EXPECT_EQ(summary["files_scanned"], int(samples_.size()));
  EXPECT_EQ(summary["stopped"], false);
  EXPECT_EQ(summary["log"], LogFiles(logs_.Path()).at(0));
  EXPECT_EQ(summary["closing_lines"].size(), 3u);
}

TEST_F(ScanCommandTest, ACleanFolderExitsWithZero) {
  test::ScratchFolder clean;
  clean.WriteFile("app.exe", samples_[0].bytes);  // the clean program
  clean.WriteFile("\xE9t\xE9.dll", samples_[1].bytes);  // a name in another code page
  const ToolRun run = RunTool(ScanArgs({}, clean.Path()));
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Lines(run.out).front(), "Scan result:         0 infected files");
  EXPECT_EQ(Lines(run.out).back(), "Files were scanned:  2");
  EXPECT_FALSE(GetSettings().AnonymStats());  // the after-scan report only on request
  // With nothing found there is nothing to report, so no transfer is attempted.
  EXPECT_EQ(RunTool(ScanArgs({"--send-stats"}, clean.Path())).code, 0);
  EXPECT_TRUE(GetSettings().AnonymStats());
  GetSettings().OverrideAnonymStats(false);
}

TEST_F(ScanCommandTest, UnusableArgumentsExitWithTwoBeforeScanning) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } kCases[] = {
      {{"scan", "--db", db_.Path()}, "usage: vermilax-cli scan"},
      {{"scan", "--db", db_.Path(), files_.PathOf("missing")}, "no such folder"},
      {{"scan", "--db", db_.Path(), "--log-dir"}, "--log-dir needs a folder"},
      {{"scan", "--db", db_.Path(), "--quick", files_.Path()}, "unknown option '--quick'"},
      {{"scan", "--db", files_.PathOf("no-db"), files_.Path()}, "no database folder"},
#ifdef _WIN32
      {{"scan", "--standard", files_.Path()}, "--standard takes no folders"},
#else
      {{"scan", "--standard"}, "runs only in the Windows build"},
#endif
  };
  for (const auto& c : kCases) {
    const ToolRun run = RunTool(c.args);
    EXPECT_EQ(run.code, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << c.message;
  }
  EXPECT_TRUE(LogFiles(logs_.Path()).empty());
}

TEST_F(ScanCommandTest, AnInterruptStopsTheScanAndTheLogSaysSo) {
  // Many clean files after the samples, so there is plenty left when the stop comes.
  for (int i = 0; i < 200; ++i) files_.WriteFile("zz" + std::to_string(1000 + i) + ".dll", samples_[1].bytes);
  std::optional<cli::ScanCommandOptions> options = cli::ParseScanOptions(
      {"--json", "--db", db_.Path(), "--log-dir", logs_.Path(), files_.Path()}, std::cerr);
  ASSERT_TRUE(options);
  std::ostringstream out, err;
  // Asked on this thread between notifications: stop once something was printed.
  const int code = cli::RunScan(*options, out, err, [&] { return !out.str().empty(); });
  const std::vector<std::string> lines = Lines(out.str());
  ASSERT_GE(lines.size(), 2u);
  const Json summary = Json::parse(lines.back());
  EXPECT_EQ(summary["stopped"], true);
  EXPECT_LT(summary["files_scanned"], 215);
  EXPECT_EQ(code, summary["infected"] > 0 ? 1 : 0);
  const std::string log = ReadFileToString(LogFiles(logs_.Path()).at(0));
  const size_t stop = log.find("\r\nTerminated by user\r\n");
  ASSERT_NE(stop, std::string::npos);
  EXPECT_NE(log.find("\r\nScan completed.\r\n", stop), std::string::npos);
}

TEST_F(ScanCommandTest, ALogThatCannotBeWrittenLeavesTheResultsAlone) {
  const std::string file = logs_.WriteFile("in-the-way", "x");
  const ToolRun run = RunTool({"scan", "--db", db_.Path(), "--log-dir", file, files_.Path()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("cannot write the scan log"), std::string::npos);
  EXPECT_EQ(Lines(run.out).back(), "Files were scanned:  " + std::to_string(samples_.size()));
}

#ifdef _WIN32
// The whole standard sequence on the system this test runs on (Wine's prefix in CI).
TEST_F(ScanCommandTest, StandardScanRunsEveryStageOnThisSystem) {
  const ToolRun run = RunTool({"scan", "--standard", "--json", "--db", db_.Path(), "--log-dir", logs_.Path()});
  EXPECT_TRUE(run.code == 0 || run.code == 1) << run.err;
  const Json summary = Json::parse(Lines(run.out).back());
  EXPECT_GT(summary["files_scanned"], 0);
  const std::string log = ReadFileToString(LogFiles(logs_.Path()).at(0));
  for (const char* line : {"Startup collected", "ActiveX collected", "Files collected", "Scaning...", "Scan completed."})
    EXPECT_NE(log.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << line;
}
#endif

TEST(ProgressLine, KeepsTheFixedFieldsAndTheEndOfTheTarget) {
  const struct {
    int columns;
    const char* time_left;
    const char* target;
    const char* line;
  } kCases[] = {
      {80, "", "C:\\a.exe", "42%  420/1000 files  C:\\a.exe"},
      {80, "Time left : 3 minutes", "C:\\a.exe", "42%  420/1000 files  Time left : 3 minutes  C:\\a.exe"},
      {30, "", "C:\\windows\\system32\\long-name.dll", "42%  420/1000 files  ...e.dll"},
      {12, "", "C:\\a.exe", "42%  420/10"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(cli::ProgressLine::Render(42, 420, 1000, c.time_left, c.target, c.columns), c.line) << c.columns;
}

}  // namespace
}  // namespace vermilax
