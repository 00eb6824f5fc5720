#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "engine/md5.h"
#include "engine/md5_signature.h"
#include "support/archive_builder.h"
#include "support/pe_writer.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

std::string ProgramWithIcon(const std::string& image) {
  test::PeBuilder builder;
  test::AddIconGroup(builder, image);
  return builder.Build();
}

TEST(IconCommand, PrintsALinePerProgramWithAnIconAndGoesOnPastUnreadableFiles) {
  test::TempDir dir;
  test::WriteBytes(dir.File("first.exe"), ProgramWithIcon("first icon image"));
  test::WriteBytes(dir.File("plain.exe"), test::PeBuilder().Build());
  test::WriteBytes(dir.File("text.txt"), "not a program");
  test::WriteBytes(dir.File("second.exe"), ProgramWithIcon("second"));
  std::ostringstream out, err;
  int code = cli::RunCli({"icon", dir.File("first.exe"), dir.File("plain.exe"), dir.File("missing.exe"),
                          dir.File("text.txt"), dir.File("second.exe")},
                         out, err);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(out.str(), DigestToHex(MD5OfString("first icon image")) + ":16:first.exe\n" +
                           DigestToHex(MD5OfString("second")) + ":6:second.exe\n");
  const std::string errors = err.str();
  EXPECT_NE(errors.find("missing.exe"), std::string::npos);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
}

TEST(IconCommand, ProgramsWithoutIconsPrintNothingAndSucceed) {
  test::TempDir dir;
  test::WriteBytes(dir.File("plain.exe"), test::PeBuilder().Build());
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunCli({"icon", dir.File("plain.exe")}, out, err), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(cli::RunCli({"icon"}, out, err), 2);
  EXPECT_NE(err.str().find("usage"), std::string::npos);
}

TEST(IconCommand, OutputPackedIntoAnArchiveIsFoundByTheIconSet) {
  test::TempDir dir;
  test::WriteBytes(dir.File("dropper.exe"), ProgramWithIcon("stolen icon"));
  std::ostringstream lines, err;
  ASSERT_EQ(cli::RunCli({"icon", dir.File("dropper.exe")}, lines, err), 0) << err.str();
  test::WriteBytes(dir.File("db.txt"), lines.str());
  ASSERT_EQ(cli::RunCli({"pack", dir.File("db.txt"), "1", dir.File("rico.c")}, lines, err), 0) << err.str();

  MD5Signature icons;
  icons.Load(dir.File("rico.c"));
  const MD5Record* found = icons.Find(11, MD5OfString("stolen icon"));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->NameText(), "dropper.exe");
}

}  // namespace
}  // namespace vermilax
