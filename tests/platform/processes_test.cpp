#include "platform/processes.h"

#include <gtest/gtest.h>

#include "env/ansi_case.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "support/scratch_folder.h"
#include "support/sleeping_child.h"

namespace vermilax::platform {
namespace {

const ProcessEntry* FindId(const std::vector<ProcessEntry>& list, uint32_t id) {
  for (const ProcessEntry& entry : list)
    if (entry.id == id) return &entry;
  return nullptr;
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

TEST(ProcessLists, ListTheCurrentProcessWithItsPathAndName) {
  std::vector<ProcessEntry> paths = ListProcessPaths();
  const ProcessEntry* self = FindId(paths, CurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(SameTextAnsi(self->path, ProgramPath())) << self->path << " vs " << ProgramPath();

  std::vector<ProcessEntry> names = ListProcessNames();
  self = FindId(names, CurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_TRUE(SameTextAnsi(self->path, BaseName(ProgramPath()))) << self->path;
  for (const ProcessEntry& entry : names) {
    EXPECT_FALSE(entry.path.empty());
    EXPECT_EQ(entry.path.find_first_of("\\/"), std::string::npos) << entry.path;
  }
}

TEST(ProcessLists, ListAChildUntilItIsTerminated) {
  test::SleepingChild child;
  ASSERT_TRUE(child.Started());
  std::vector<ProcessEntry> paths = ListProcessPaths();
  const ProcessEntry* listed = FindId(paths, child.Id());
  ASSERT_NE(listed, nullptr);
  EXPECT_TRUE(SameTextAnsi(listed->path, ProgramPath())) << listed->path << " vs " << ProgramPath();

  uint32_t error = 12345;
  ASSERT_TRUE(TerminateProcessById(child.Id(), error));
  EXPECT_EQ(error, kErrorSuccess);
  auto code = child.WaitForExit();
#ifdef _WIN32
  EXPECT_EQ(code, 0u);  // ended with exit code 0
#else
  EXPECT_EQ(code, std::nullopt);  // ended by a signal
#endif
  EXPECT_EQ(FindId(ListProcessPaths(), child.Id()), nullptr);
}

TEST(ProcessLists, TerminatingAnImpossibleIdFailsWithAnErrorCode) {
  // Natively 0 and -1 would signal whole process groups: they must fail, not kill us.
  for (uint32_t id : {0u, 0xFFFFFFFFu}) {
    uint32_t error = kErrorSuccess;
    EXPECT_FALSE(TerminateProcessById(id, error)) << id;
    EXPECT_NE(error, kErrorSuccess) << id;
  }
}

TEST(RunAndWait, WaitsForTheCommandToFinish) {
  test::ScratchFolder folder;
  std::string output = folder.PathOf("out.txt");
#ifdef _WIN32
  std::string command = "cmd /c echo done> \"" + output + "\"";
#else
  std::string command = "echo done > '" + output + "'";
#endif
  ASSERT_TRUE(RunAndWait(command));
  // The file is complete as soon as the call returns.
  ASSERT_TRUE(FileExists(output));
  auto opened = OpenFileForRead(output, ShareMode::ReadWrite);
  ASSERT_TRUE(opened.file);
  char buffer[16] = {};
  EXPECT_GE(opened.file->Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "done");
}

#ifdef _WIN32
TEST(RunAndWait, ReportsACommandThatCannotStart) {
  test::ScratchFolder folder;
  std::string command = folder.PathOf("no-such-program.exe");
  EXPECT_FALSE(RunAndWait(command));
}
#endif

}  // namespace
}  // namespace vermilax::platform
