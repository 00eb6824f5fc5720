#include "env/path_variables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <stdexcept>

#include "env/ansi_case.h"
#include "env/file_helpers.h"
#include "env/folders.h"
#include "platform/files.h"
#include "support/scratch_folder.h"
#ifndef _WIN32
#include "platform/posix/shell_folders.h"
#endif

namespace vermilax {
namespace {

const char kTemp[] = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";

// A Windows machine as ExpandPathVariables sees it, with the given files on disk
// (file names compare without regard to case, as there).
PathEnvironment FakeWindows(std::set<std::string> files) {
  PathEnvironment environment;
  environment.temp_dir = [] { return std::string(kTemp); };
  environment.windows_dir = [] { return std::string("C:\\WINDOWS"); };
  environment.system_dir = [] { return std::string("C:\\WINDOWS\\System32"); };
  environment.program_files_dir = [] { return std::string("C:\\Program Files"); };
  std::set<std::string> lowered;
  for (const std::string& file : files) lowered.insert(LowerCaseAnsi(file));
  environment.is_existing_file = [lowered](const std::string& path) { return lowered.count(LowerCaseAnsi(path)) > 0; };
  environment.separator = '\\';
  return environment;
}

TEST(ExpandPathVariables, FollowsTheRulesForVariablesAndBareNames) {
  const PathEnvironment machine = FakeWindows({"C:\\WINDOWS\\system32\\x.dll", "C:\\WINDOWS\\notepad.exe",
                                               "C:\\WINDOWS\\System32\\calc.exe", "setup.exe"});
  const struct {
    const char* path;
    std::string expanded;
  } kCases[] = {
      {"%WinDir%\\System32\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
      {"%temp%\\a.tmp", std::string(kTemp) + "\\a.tmp"},  // doubled backslash, missing file
      {"%TEMP%\\A.TMP", std::string(kTemp) + "\\a.tmp"},
      {"C:\\Missing\\App.EXE", "c:\\missing\\app.exe"},
      {"%SystemRoot%\\Missing.exe", "C:\\WINDOWS\\missing.exe"},
      {"%ProgramFiles%\\Vendor\\App.exe", "C:\\Program Files\\vendor\\app.exe"},
      {"%temp%%temp%", std::string(kTemp) + kTemp},
      {"Notepad.exe", "C:\\WINDOWS\\Notepad.exe"},          // the name as given, in the Windows folder
      {"CALC.exe", "C:\\WINDOWS\\System32\\CALC.exe"},      // else in the system folder
      {"Nothing.EXE", "nothing.exe"},                      // else the name in lower case
      {"Setup.EXE", "setup.exe"},                          // a file in the current folder
      {"%unknown%\\Tool.exe", "%unknown%\\tool.exe"},
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(ExpandPathVariables(c.path, machine), c.expanded) << c.path;
}

TEST(ExpandPathVariables, GivesThePathBackWhenTheSystemFails) {
  PathEnvironment broken = FakeWindows({});
  broken.windows_dir = []() -> std::string { throw std::runtime_error("no Windows folder"); };
  EXPECT_EQ(ExpandPathVariables("Notepad.EXE", broken), "Notepad.EXE");
  EXPECT_EQ(ExpandPathVariables("%WINDIR%\\X.exe", broken), "%WINDIR%\\X.exe");
  // Without the failing folder nothing fails.
  EXPECT_EQ(ExpandPathVariables("C:\\A.exe", broken), "c:\\a.exe");
}

TEST(ExpandPathVariables, TreatsPathsFromTheRootAsAbsoluteOnlyWithSlashes) {
  PathEnvironment machine = FakeWindows({"C:\\WINDOWS\\/usr/bin/tool"});
  EXPECT_EQ(ExpandPathVariables("/usr/bin/Tool", machine), "C:\\WINDOWS\\/usr/bin/Tool");  // not absolute there
  machine.separator = '/';
  EXPECT_EQ(ExpandPathVariables("/usr/bin/Tool", machine), "/usr/bin/tool");
  machine.is_existing_file = [](const std::string& path) { return path == "C:\\WINDOWS//usr/bin/Tool"; };
  EXPECT_EQ(ExpandPathVariables("/usr/bin/Tool", machine), "/usr/bin/tool");  // never joined: it is absolute
}

// The running system's folders.
class ExpandOnThisSystem : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    windows_ = scratch_.PathOf("windows");
    system_ = windows_ + "/system32";
    ASSERT_TRUE(std::filesystem::create_directories(system_));
    platform::SetWindowsFoldersForTests(windows_, system_);
    scratch_.WriteFile("windows/notepad.exe", "MZ");
    scratch_.WriteFile("windows/system32/kernel32.dll", "MZ");
#else
    windows_ = GetWindowsDir();
    system_ = GetSystemDir();
#endif
  }
  void TearDown() override {
#ifndef _WIN32
    platform::SetWindowsFoldersForTests("", "");
#endif
  }
  test::ScratchFolder scratch_;
  std::string windows_, system_;
};

TEST_F(ExpandOnThisSystem, FindsBareNamesInTheWindowsAndSystemFolders) {
  const std::string separator(1, platform::PathSeparator());
  ASSERT_TRUE(IsExistingFile(windows_ + separator + "notepad.exe"));
  EXPECT_EQ(ExpandPathVariables("notepad.exe"), windows_ + separator + "notepad.exe");
  ASSERT_FALSE(IsExistingFile(windows_ + separator + "kernel32.dll"));
  EXPECT_EQ(ExpandPathVariables("kernel32.dll"), system_ + separator + "kernel32.dll");
  EXPECT_EQ(ExpandPathVariables("No-Such-File.EXE"), "no-such-file.exe");
  EXPECT_EQ(ExpandPathVariables("%WINDIR%" + separator + "Notepad.EXE"), windows_ + separator + "notepad.exe");
}

}  // namespace
}  // namespace vermilax
