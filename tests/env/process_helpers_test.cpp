#include "env/process_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "env/ansi_case.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "support/scratch_folder.h"
#include "support/sleeping_child.h"

namespace vermilax {
namespace {

const NamedId* FindId(const std::vector<NamedId>& list, uint32_t id) {
  for (const NamedId& entry : list)
    if (entry.id == id) return &entry;
  return nullptr;
}

TEST(ProcessHelpers, PathListAppendsAndNameListReplaces) {
  std::vector<NamedId> list = {{"kept", 0}};
  GetProcessPathList(list);
  ASSERT_GT(list.size(), 1u);
  EXPECT_EQ(list.front().name, "kept");
  const NamedId* self = FindId(list, platform::CurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(SameTextAnsi(self->name, platform::ProgramPath()));

  GetProcessNameList(list);
  EXPECT_EQ(FindId(list, 0), nullptr);  // the old entry went
  self = FindId(list, platform::CurrentProcessId());
  ASSERT_NE(self, nullptr);
  std::string program = platform::ProgramPath();
  EXPECT_TRUE(SameTextAnsi(self->name, program.substr(program.find_last_of("\\/") + 1)));
}

TEST(ProcessHelpers, KillProcessByPathOfAnUnusedPathSucceeds) {
  test::ScratchFolder folder;
  EXPECT_TRUE(KillProcessByPath(folder.PathOf("not-running.exe")));
  EXPECT_TRUE(KillProcessByPath(""));
}

TEST(ProcessHelpers, KillProcessByPathEndsTheProgramRunningFromThatPath) {
  // A copy of this test program under another name, so the path is the child's alone.
  test::ScratchFolder folder;
  std::string copy = folder.PathOf("Sleeper.exe");
  std::filesystem::copy_file(platform::ProgramPath(), copy);
  test::SleepingChild child(copy);
  ASSERT_TRUE(child.Started());

  std::string shouted = UpperCaseAnsi(copy);
  EXPECT_TRUE(KillProcessByPath(shouted));  // the path compares without regard to case
  child.WaitForExit();
  std::vector<NamedId> list;
  GetProcessPathList(list);
  EXPECT_EQ(FindId(list, child.Id()), nullptr);
}

TEST(ProcessHelpers, TerminateProcessByIdReportsTheSystemError) {
  test::SleepingChild child;
  ASSERT_TRUE(child.Started());
  uint32_t error = 99;
  EXPECT_TRUE(TerminateProcessById(child.Id(), &error));
  EXPECT_EQ(error, platform::kErrorSuccess);
  child.WaitForExit();

  EXPECT_FALSE(TerminateProcessById(0, &error));
  EXPECT_NE(error, platform::kErrorSuccess);
  EXPECT_FALSE(TerminateProcessById(0));
}

}  // namespace
}  // namespace vermilax
