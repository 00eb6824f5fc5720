#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "version.h"

namespace vermilax::cli {
namespace {

TEST(SysinfoCommandTest, PrintsOneLabelledLinePerFact) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"sysinfo"}, out, err), 0);
  EXPECT_EQ(err.str(), "");
  std::istringstream lines(out.str());
  std::vector<std::string> labels;
  std::string line;
  while (std::getline(lines, line)) {
    ASSERT_GE(line.size(), 18u) << line;
    labels.push_back(line.substr(0, line.find(':')));
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
  }
  const std::vector<std::string> expected = {"Processor",     "Memory",       "Windows version", "Build",
                                             "Service pack",  "Username",     "Computer name",   "Product name",
                                             "Product version", "File version", "Build number"};
  EXPECT_EQ(labels, expected);
  EXPECT_NE(out.str().find("Product name:     Quorvo Vermilax\n"), std::string::npos);
  EXPECT_NE(out.str().find(std::string("File version:     ") + VERMILAX_VERSION_TEXT + "\n"), std::string::npos);
}

TEST(SysinfoCommandTest, RejectsArguments) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"sysinfo", "extra"}, out, err), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("sysinfo"), std::string::npos);
}

TEST(UsageTest, SaysTrustChecksAreFalseWithoutTheWindowsTrustService) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"--help"}, out, err), 0);
  EXPECT_NE(out.str().find("sysinfo"), std::string::npos);
  EXPECT_NE(out.str().find("trust check with false"), std::string::npos);
}

}  // namespace
}  // namespace vermilax::cli
