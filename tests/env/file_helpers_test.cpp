#include "env/file_helpers.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "env/folders.h"
#include "platform/files.h"
#include "support/scratch_folder.h"

namespace vermilax {
namespace {

TEST(FileHelpers, ExistenceAndSizeOfFilesAndFolders) {
  test::ScratchFolder folder;
  std::string empty = folder.WriteFile("empty.bin", "");
  std::string data = folder.WriteFile("data.bin", std::string(1234, 'x'));
  const struct {
    std::string path;
    bool exists;
    int32_t size;
  } kCases[] = {
      {empty, true, 0},
      {data, true, 1234},
      {folder.PathOf("missing.bin"), false, 0},
      {folder.Path(), false, 0},  // a folder is not a file
      {"", false, 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsExistingFile(c.path), c.exists) << c.path;
    EXPECT_EQ(FileSizeOf(c.path), c.size) << c.path;
  }
}

TEST(FileHelpers, ReadsBackWhatWasWritten) {
  test::ScratchFolder folder;
  std::string path = folder.PathOf("bytes.bin");
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += char(i * 31);  // several read blocks, every byte value
  WriteStringToFile(path, bytes);
  EXPECT_EQ(ReadFileToString(path), bytes);
  WriteStringToFile(path, "short");  // truncates
  EXPECT_EQ(ReadFileToString(path), "short");
  WriteStringToFile(path, "");
  EXPECT_EQ(ReadFileToString(path), "");
  EXPECT_TRUE(IsExistingFile(path));
}

TEST(FileHelpers, FileErrorsAreRaised) {
  test::ScratchFolder folder;
  EXPECT_THROW(ReadFileToString(folder.PathOf("missing.bin")), std::runtime_error);
  EXPECT_THROW(ReadFileToString(folder.Path()), std::runtime_error);
  EXPECT_THROW(WriteStringToFile(folder.Path(), "x"), std::runtime_error);
  EXPECT_THROW(WriteStringToFile(folder.PathOf("missing") + platform::PathSeparator() + "x.bin", "x"),
               std::runtime_error);
}

TEST(MakeTempFileName, NamesAFreshFileAndLeavesNothingBehind) {
  test::ScratchFolder temp;
  test::TempFolderOverride redirect(temp.Path());
  ASSERT_EQ(GetTempDir().substr(0, temp.Path().size()), temp.Path());

  std::set<std::string> names;
  for (int i = 0; i < 5; ++i) {
    std::string name = MakeTempFileName();
    std::string base = name.substr(name.find_last_of("\\/") + 1);
    EXPECT_EQ(name.substr(0, GetTempDir().size()), GetTempDir()) << name;
    EXPECT_EQ(base.front(), '~') << name;
    EXPECT_EQ(base.substr(base.size() - 2), ".~") << name;
    EXPECT_EQ(base.find('.'), base.size() - 2) << name;  // the extension was replaced, not added to
    EXPECT_FALSE(IsExistingFile(name)) << name;
    names.insert(name);
  }
  EXPECT_TRUE(temp.Entries().empty());  // no placeholders left
  // The caller creates the file; the next name is a different one.
  WriteStringToFile(*names.begin(), "in use");
  EXPECT_EQ(names.count(MakeTempFileName()), 0u);
}

TEST(MakeTempFileName, RaisesWhenTheTemporaryFolderIsUnusable) {
  test::ScratchFolder temp;
  test::TempFolderOverride redirect(temp.PathOf("missing"));
  EXPECT_THROW(MakeTempFileName(), std::runtime_error);
}

}  // namespace
}  // namespace vermilax
