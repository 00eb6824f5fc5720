#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "version.h"

namespace vermilax::platform {
namespace {

// On Windows these come from the test program's own version resource, so they
// check that the resource carries the build's version.
TEST(ProgramVersionStringsTest, EqualTheBuildsVersion) {
  VersionStrings strings = ProgramVersionStrings();
  EXPECT_EQ(strings.ProductName, "Quorvo Vermilax");
  EXPECT_EQ(strings.CompanyName, "Quorvo");
  EXPECT_EQ(strings.FileVersion, VERMILAX_VERSION_TEXT);
  EXPECT_EQ(strings.ProductVersion, VERMILAX_VERSION_TEXT);
}

TEST(ReadVersionStringsTest, FileWithoutVersionInformationGivesNothing) {
  std::string path = CreateUniqueTempFile(TempFolder(), "vix");
  ASSERT_FALSE(path.empty());
  ASSERT_TRUE(WriteWholeFile(path, "MZ but not a program"));
  EXPECT_EQ(ReadVersionStrings(path), std::nullopt);
  RemoveFile(path);
  EXPECT_EQ(ReadVersionStrings(path), std::nullopt);  // and a missing file
}

#ifdef _WIN32
TEST(ReadVersionStringsTest, ReadsTheFirstStringTable) {
  std::optional<VersionStrings> own = ReadVersionStrings(ProgramPath());
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->FileDescription, "Vermilax tests");
  EXPECT_EQ(own->Comments, "");  // an entry the table lacks

  std::optional<VersionStrings> system = ReadVersionStrings(SystemFolder() + "\\kernel32.dll");
  ASSERT_TRUE(system.has_value());
  EXPECT_FALSE(system->FileVersion.empty());
  EXPECT_FALSE(system->CompanyName.empty());
}
#else
TEST(ReadVersionStringsTest, NoFileHasVersionResourcesHere) {
  EXPECT_EQ(ReadVersionStrings(ProgramPath()), std::nullopt);
}
#endif

}  // namespace
}  // namespace vermilax::platform
