#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "engine/md5.h"
#include "engine/md5_signature.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

TEST(HashCommand, PrintsOneSignatureLinePerFileAndGoesOnPastUnreadableOnes) {
  test::TempDir dir;
  const std::string payload = std::string("MZ\0\x90 payload", 12);
  test::WriteBytes(dir.File("a.exe"), payload);
  test::WriteBytes(dir.File("empty.dll"), "");
  std::ostringstream out, err;
  int code = cli::RunCli({"hash", dir.File("a.exe"), dir.File("missing.exe"), dir.File("empty.dll")}, out, err);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(out.str(), DigestToHex(MD5OfString(payload)) + ":12:a.exe\n" +
                           "D41D8CD98F00B204E9800998ECF8427E:0:empty.dll\n");
  const std::string errors = err.str();
  EXPECT_NE(errors.find("missing.exe"), std::string::npos);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
}

TEST(HashCommand, AllReadableFilesGiveExitCode0) {
  test::TempDir dir;
  test::WriteBytes(dir.File("x.bin"), "x");
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunCli({"hash", dir.File("x.bin")}, out, err), 0);
  EXPECT_EQ(err.str(), "");
}

TEST(HashCommand, OutputPackedIntoAnArchiveIsFoundByTheSignatureSet) {
  test::TempDir dir;
  test::WriteBytes(dir.File("threat.exe"), "evil bytes");
  std::ostringstream hashed, err;
  ASSERT_EQ(cli::RunCli({"hash", dir.File("threat.exe")}, hashed, err), 0);
  test::WriteBytes(dir.File("db.txt"), hashed.str());
  ASSERT_EQ(cli::RunCli({"pack", dir.File("db.txt"), "1", dir.File("md.c")}, hashed, err), 0) << err.str();

  MD5Signature set;
  set.Load(dir.File("md.c"));
  ASSERT_EQ(set.Count(), 1);
  const MD5Record* found = set.Find(10, MD5OfString("evil bytes"));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->NameText(), "threat.exe");
}

}  // namespace
}  // namespace vermilax
