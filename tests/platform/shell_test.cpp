#include "platform/shell.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#ifndef _WIN32
#include "platform/posix/shell_folders.h"
#endif

namespace vermilax::platform {
namespace {

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

TEST(ShellFolders, WindowsAndSystemFoldersComeWithoutTrailingSeparator) {
#ifndef _WIN32
  SetWindowsFoldersForTests("/srv/win/", "/srv/win/system32//");
#endif
  std::string windows = WindowsFolder();
  std::string system = SystemFolder();
  ASSERT_FALSE(windows.empty());
  ASSERT_FALSE(system.empty());
  EXPECT_FALSE(EndsWithSeparator(windows)) << windows;
  EXPECT_FALSE(EndsWithSeparator(system)) << system;
#ifdef _WIN32
  EXPECT_TRUE(FolderExists(windows));
  EXPECT_TRUE(FolderExists(system));
#else
  EXPECT_EQ(windows, "/srv/win");
  EXPECT_EQ(system, "/srv/win/system32");
  SetWindowsFoldersForTests("", "");
  EXPECT_NE(WindowsFolder(), "/srv/win");
#endif
}

TEST(ShellFolders, SpecialFoldersByCsidl) {
  for (int csidl : {kCsidlAppData, kCsidlLocalAppData, kCsidlDesktopDirectory, kCsidlProgramFiles, kCsidlSystem,
                    kCsidlWindows}) {
    std::string path = SpecialFolderPath(csidl);
    EXPECT_FALSE(path.empty()) << csidl;
    EXPECT_FALSE(EndsWithSeparator(path)) << path;
  }
  EXPECT_EQ(SpecialFolderPath(kCsidlSystem), SystemFolder());
  EXPECT_EQ(SpecialFolderPath(0x7E), "");  // no such folder
}

#ifndef _WIN32
TEST(ShellFolders, NativeStandInsLieUnderTheHomeFolder) {
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (home.empty()) GTEST_SKIP() << "no home folder";
  EXPECT_EQ(SpecialFolderPath(kCsidlAppData), home + "/.config");
  EXPECT_EQ(SpecialFolderPath(kCsidlLocalAppData), home + "/.local/share");
  EXPECT_EQ(SpecialFolderPath(kCsidlProgramFiles), "/opt");
}
#endif

}  // namespace
}  // namespace vermilax::platform
