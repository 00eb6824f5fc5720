#include "platform/resources.h"

#include <gtest/gtest.h>

#include "env/file_helpers.h"
#include "support/scratch_folder.h"
#ifndef _WIN32
#include "platform/posix/program_resources.h"
#endif

namespace vermilax {
namespace {

// The bytes of test_resources.rc: its text, then two 16-bit words stored little-endian.
const std::string kBlob = std::string("line one\r\nline two\r\n") + std::string("\x00\x01\xFE\xFF", 4);
const std::string kHosts = "127.0.0.1 localhost\r\n";

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    // Natively the program registers what the Windows build compiles in.
    platform::RegisterProgramResource("VERMILAX_TEST_BLOB", kBlob);
    platform::RegisterProgramResource("#2001", kHosts);
#endif
  }
};

TEST_F(ProgramResources, ReadsRawDataByNameOrNumber) {
  EXPECT_EQ(platform::ReadProgramResource("VERMILAX_TEST_BLOB"), kBlob);
  EXPECT_EQ(platform::ReadProgramResource("vermilax_test_blob"), kBlob);
  EXPECT_EQ(platform::ReadProgramResource("#2001"), kHosts);
  EXPECT_EQ(platform::ReadProgramResource("NO_SUCH_RESOURCE"), std::nullopt);
}

TEST_F(ProgramResources, ExtractsToANewFileOnly) {
  test::ScratchFolder folder;
  std::string hosts = folder.PathOf("hosts");
  EXPECT_TRUE(ExtractResourceToFile("#2001", hosts));
  EXPECT_EQ(ReadFileToString(hosts), kHosts);

  // An existing file stays as it is.
  std::string kept = folder.WriteFile("kept", "mine");
  EXPECT_FALSE(ExtractResourceToFile("#2001", kept));
  EXPECT_EQ(ReadFileToString(kept), "mine");

  EXPECT_FALSE(ExtractResourceToFile("NO_SUCH_RESOURCE", folder.PathOf("none")));
  EXPECT_FALSE(IsExistingFile(folder.PathOf("none")));
}

}  // namespace
}  // namespace vermilax
