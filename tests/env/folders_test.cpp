#include "env/folders.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#ifndef _WIN32
#include "platform/posix/registry_store.h"
#endif

namespace vermilax {
namespace {

TEST(Folders, TempDirEndsWithTheSeparatorOthersDoNot) {
  std::string temp = GetTempDir();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), platform::PathSeparator());
  EXPECT_TRUE(platform::FolderExists(temp));
  for (const std::string& folder : {GetWindowsDir(), GetSystemDir()}) {
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), platform::PathSeparator()) << folder;
  }
  EXPECT_EQ(GetSpecialFolderPath(platform::kCsidlWindows), GetWindowsDir());
}

TEST(Folders, ProgramFilesDirComesFromTheLocalMachineRegistry) {
#ifdef _WIN32
  // Set up by the system itself.
  EXPECT_TRUE(platform::FolderExists(GetProgramFilesDir())) << GetProgramFilesDir();
#else
  platform::registry::ResetForTests();
  EXPECT_EQ(GetProgramFilesDir(), "");
  platform::registry::WriteString(platform::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                  "ProgramFilesDir", "/opt");
  EXPECT_EQ(GetProgramFilesDir(), "/opt");
  platform::registry::ResetForTests();
#endif
}

}  // namespace
}  // namespace vermilax
