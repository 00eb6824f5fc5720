#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "env/file_helpers.h"
#include "platform/files.h"
#include "support/archive_builder.h"
#include "support/sample_set.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace vermilax {
namespace {

using test::RunTool;
using test::ToolRun;

// The sample files and databases in two fresh folders.
class CheckCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, text] : test::BuildSampleDatabaseTexts()) test::WriteArchive(db_.File(name), text, "1");
    for (const test::SampleFile& sample : samples_)
      ASSERT_TRUE(platform::WriteWholeFile(files_.File(sample.name), sample.bytes));
  }
  std::vector<std::string> CheckArgs(std::vector<std::string> options) {
    std::vector<std::string> args = {"check", "--db", db_.path()};
    args.insert(args.end(), options.begin(), options.end());
    for (const test::SampleFile& sample : samples_) args.push_back(files_.File(sample.name));
    return args;
  }
  std::string Expected(bool deep, bool heur = true) {
    std::string text;
    for (const test::SampleFile& sample : samples_) {
      std::string shown = deep ? sample.expectedDeep : sample.expected;
      if (!heur && (shown.find("HEUR.") != std::string::npos || shown.find("Sample.Injector") != std::string::npos ||
                    shown.find("Sample.Keylogger") != std::string::npos))
        shown = "Clean";
      text += files_.File(sample.name) + ": " + shown + "\n";
    }
    return text;
  }

  test::TempDir db_;
  test::TempDir files_;
  std::vector<test::SampleFile> samples_ = test::BuildSampleFiles();
};

TEST_F(CheckCommandTest, PrintsOneVerdictPerFileForEachOptionSet) {
  const struct {
    std::vector<std::string> options;
    bool deep;
    bool heur;
  } cases[] = {{{}, false, true}, {{"--deep"}, true, true}, {{"--no-heur"}, false, false},
               {{"--deep", "--no-heur"}, true, false}};
  for (const auto& c : cases) {
    const ToolRun run = RunTool(CheckArgs(c.options));
    EXPECT_EQ(run.out, Expected(c.deep, c.heur));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 1);
  }
}

TEST_F(CheckCommandTest, ExitCodeFollowsTheWorstFinding) {
  EXPECT_EQ(RunTool({"check", "--db", db_.path(), files_.File("clean-program.exe")}).code, 0);
  EXPECT_EQ(RunTool({"check", "--db", db_.path(), files_.File("not-a-program.exe")}).code, 0);
  EXPECT_EQ(RunTool({"check", "--db", db_.path(), files_.File("heur-suspicious.exe")}).code, 1);
}

TEST_F(CheckCommandTest, MissingFileIsReportedAndTheOthersStillChecked) {
  const std::string missing = files_.File("missing.exe");
  const ToolRun run = RunTool({"check", "--db", db_.path(), missing, files_.File("clean-program.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("no such file '" + missing + "'"), std::string::npos);
  EXPECT_EQ(run.out, files_.File("clean-program.exe") + ": Clean\n");
}

TEST_F(CheckCommandTest, UnusableDatabasesOrArgumentsExitWithTwo) {
  test::TempDir bad;
  test::WriteArchive(bad.File("md.c"), "broken\r\n", "1");
  const ToolRun malformed = RunTool({"check", "--db", bad.path(), files_.File("clean-program.exe")});
  EXPECT_EQ(malformed.code, 2);
  EXPECT_NE(malformed.err.find("cannot load the databases"), std::string::npos);
  EXPECT_EQ(malformed.out, "");
  EXPECT_EQ(RunTool({"check", "--db", files_.File("no-such-folder"), files_.File("broken.exe")}).code, 2);
  EXPECT_EQ(RunTool({"check", "--db", db_.path()}).code, 2);
  EXPECT_EQ(RunTool({"check", "--db"}).code, 2);
  EXPECT_EQ(RunTool({"check", "--fast", files_.File("broken.exe")}).code, 2);
}

TEST_F(CheckCommandTest, StatsPrintsTheStatisticsTextAndOneLineFeed) {
  const ToolRun run = RunTool({"stats", "--db", db_.path()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out.rfind("heur.b - heuristic rules: [2]\rmd.c - strong signatures: [2]\r"
                          "rico.c - resource signatures: [1]\rwl.c - white list: [1]\r",
                          0),
            0u);
  EXPECT_EQ(run.out.back(), '\n');
  EXPECT_EQ(run.out.find("smd.c"), std::string::npos);
  EXPECT_NE(RunTool({"stats", "--deep", "--db", db_.path()}).out.find("smd.c - sections signatures: [1]\r"),
            std::string::npos);
  EXPECT_EQ(RunTool({"stats", "--db", db_.path(), "extra"}).code, 2);
}

// The committed database texts are generated from the samples; they must not drift.
TEST(SampleDatabaseTextsTest, CommittedTextsMatchTheGeneratedOnes) {
  const std::string folder = std::string(VERMILAX_SAMPLE_TEXTS) + platform::PathSeparator();
  size_t committed = 0;
  platform::ListFolder(folder, "*.txt", [&](const platform::FolderEntry&) {
    ++committed;
    return true;
  });
  const auto texts = test::BuildSampleDatabaseTexts();
  EXPECT_EQ(committed, texts.size());
  for (const auto& [name, text] : texts)
    EXPECT_EQ(ReadFileToString(folder + name + ".txt"), text) << name << " (regenerate: make_samples --db-text data/samples)";
}

}  // namespace
}  // namespace vermilax
