#include "platform/trust.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace vermilax::platform {
namespace {

TEST(IsFileTrustedTest, AnswersFalseForWhatCannotBeTrusted) {
  std::string folder = TempFolder();
  folder.pop_back();  // without the trailing separator
  const std::string paths[] = {
      ProgramFolder() + "no-such-file.exe",
      "",
      folder,          // a folder is no file
      ProgramPath(),   // this test program carries no signature and no catalog lists it
  };
  for (const std::string& path : paths) EXPECT_FALSE(IsFileTrusted(path)) << path;
}

TEST(IsFileTrustedTest, TheServiceExistsOnlyOnWindows) {
#ifdef _WIN32
  EXPECT_TRUE(TrustServiceAvailable());  // every function resolved by its name
#else
  EXPECT_FALSE(TrustServiceAvailable());
#endif
}

TEST(IsFileTrustedTest, AnswersFalseForAnUnsignedFileOthersHoldOpen) {
  std::string path = CreateUniqueTempFile(TempFolder(), "vtr");
  ASSERT_FALSE(path.empty());
  ASSERT_TRUE(WriteWholeFile(path, std::string(5000, 'x')));
  OpenResult held = OpenFileForRead(path, ShareMode::ReadWrite);
  ASSERT_NE(held.file, nullptr);
  EXPECT_FALSE(IsFileTrusted(path));
  held.file.reset();
  RemoveFile(path);
}

}  // namespace
}  // namespace vermilax::platform
