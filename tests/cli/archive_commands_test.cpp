#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/signature_archive.h"
#include "platform/files.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace vermilax {
namespace {

using test::RunTool;
using test::ToolRun;

size_t CountLines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

class ArchiveCommandsTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  const std::string text_ = dir_.File("db.txt");
  const std::string archive_ = dir_.File("md.c");
};

TEST_F(ArchiveCommandsTest, PackThenUnpackGivesTheTextBackByteForByte) {
  const std::string text = std::string("a:1\r\nb:2\nc:3\r\r\n\0\xFF", 17);
  test::WriteBytes(text_, text);
  ToolRun pack = RunTool({"pack", text_, "2009-07-18", archive_});
  ASSERT_EQ(pack.code, 0) << pack.err;
  EXPECT_EQ(pack.out, "");

  ToolRun unpack = RunTool({"unpack", archive_});
  EXPECT_EQ(unpack.code, 0);
  EXPECT_EQ(unpack.out, text);
  ToolRun version = RunTool({"version", archive_});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "2009-07-18\n");

  // The engine reads what the tool wrote.
  std::vector<std::string> lines;
  std::string ver;
  ReadSignatureArchive(archive_, lines, ver);
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_EQ(ver, "2009-07-18");
}

TEST_F(ArchiveCommandsTest, UnpackOfEmptyDatabasePrintsNothing) {
  test::WriteArchive(archive_, "", "1");
  ToolRun unpack = RunTool({"unpack", archive_});
  EXPECT_EQ(unpack.code, 0);
  EXPECT_EQ(unpack.out, "");
}

TEST_F(ArchiveCommandsTest, UnreadableArchiveGivesOneLineOnStandardErrorAndExitCode2) {
  test::WriteBytes(dir_.File("garbage.c"), "no archive at all");
  test::WriteBytes(dir_.File("plain.zip"), test::BuildZip({{"DB", "a"}, {"ver", "1"}}));
  for (const char* command : {"unpack", "version"}) {
    for (const std::string& path : {dir_.File("absent.c"), dir_.File("garbage.c"), dir_.File("plain.zip")}) {
      ToolRun r = RunTool({command, path});
      EXPECT_EQ(r.code, 2) << command << ' ' << path;
      EXPECT_EQ(r.out, "") << command << ' ' << path;
      EXPECT_EQ(CountLines(r.err), 1u) << r.err;
      EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    }
  }
}

TEST_F(ArchiveCommandsTest, PackFailuresLeaveNoArchive) {
  ToolRun missingText = RunTool({"pack", dir_.File("absent.txt"), "1", archive_});
  EXPECT_EQ(missingText.code, 2);
  EXPECT_EQ(CountLines(missingText.err), 1u);
  test::WriteBytes(text_, "a\r\n");
  ToolRun badTarget = RunTool({"pack", text_, "1", dir_.File("absent") + platform::PathSeparator() + "x.c"});
  EXPECT_EQ(badTarget.code, 2);
  EXPECT_EQ(CountLines(badTarget.err), 1u);
  EXPECT_EQ(test::CountEntries(dir_.path()), 1u);  // only the text file
}

TEST(CliDispatch, WrongArgumentCountsPrintUsageAndFail) {
  const std::vector<std::vector<std::string>> kCases = {
      {"pack"}, {"pack", "a", "b"}, {"pack", "a", "b", "c", "d"}, {"unpack"}, {"unpack", "a", "b"},
      {"version"}, {"hash"},
  };
  for (const auto& args : kCases) {
    ToolRun r = RunTool(args);
    EXPECT_EQ(r.code, 2) << args[0] << ' ' << args.size();
    EXPECT_EQ(r.err.rfind("usage: vermilax-cli " + args[0], 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliDispatch, HelpListsEveryCommandAndUnknownCommandFails) {
  ToolRun help = RunTool({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* name : {"pack TEXT_FILE VERSION OUT", "unpack ARCHIVE", "version ARCHIVE", "hash FILE..."}) {
    EXPECT_NE(help.out.find(name), std::string::npos) << name;
  }
  ToolRun unknown = RunTool({"frobnicate"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);
}

}  // namespace
}  // namespace vermilax
