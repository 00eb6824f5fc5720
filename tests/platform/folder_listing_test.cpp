#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "support/scratch_folder.h"

namespace vermilax::platform {
namespace {

struct Listing {
  uint32_t status = 0;
  std::vector<std::string> names;
  std::vector<FolderEntry> entries;
};

Listing List(const std::string& folder, const std::string& mask) {
  Listing listing;
  listing.status = ListFolder(folder, mask, [&](const FolderEntry& entry) {
    listing.names.push_back(entry.name);
    listing.entries.push_back(entry);
    return true;
  });
  std::sort(listing.names.begin(), listing.names.end());
  return listing;
}

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.WriteFile("Setup.EXE", "MZ12345");
    folder_.WriteFile("readme.txt", "");
    folder_.WriteFile("a.dll", "x");
    ASSERT_TRUE(CreateFolder(folder_.PathOf("Sub.exe")));
  }
  test::ScratchFolder folder_;
};

TEST_F(FolderListingTest, MasksMatchWithoutRegardToLetterCase) {
  const struct {
    const char* mask;
    std::vector<std::string> names;
  } kCases[] = {
      {"*", {"Setup.EXE", "Sub.exe", "a.dll", "readme.txt"}},
      {"*.exe", {"Setup.EXE", "Sub.exe"}},
      {"SETUP.*", {"Setup.EXE"}},
      {"?.dll", {"a.dll"}},
      {"*.t?t", {"readme.txt"}},
  };
  for (const auto& c : kCases) {
    Listing listing = List(folder_.Path(), c.mask);
    EXPECT_EQ(listing.status, kErrorSuccess) << c.mask;
    EXPECT_EQ(listing.names, c.names) << c.mask;
  }
}

TEST_F(FolderListingTest, EntriesCarryAttributesAndSizes) {
  Listing listing = List(folder_.Path(), "*");
  for (const FolderEntry& entry : listing.entries) {
    bool is_folder = entry.name == "Sub.exe";
    EXPECT_EQ((entry.attributes & kAttrDirectory) != 0, is_folder) << entry.name;
    if (entry.name == "Setup.EXE") {
      EXPECT_EQ(entry.size, 7u);
    }
    if (entry.name == "readme.txt") {
      EXPECT_EQ(entry.size, 0u);
    }
  }
}

TEST_F(FolderListingTest, ReportsWhyNothingWasListed) {
  EXPECT_EQ(List(folder_.Path(), "*.sys").status, kErrorFileNotFound);
  EXPECT_EQ(List(folder_.PathOf("missing"), "*").status, kErrorPathNotFound);
  ASSERT_TRUE(CreateFolder(folder_.PathOf("empty")));
  Listing empty = List(folder_.PathOf("empty"), "*");
  EXPECT_EQ(empty.status, kErrorFileNotFound);  // "." and ".." do not count
  EXPECT_TRUE(empty.names.empty());
}

TEST_F(FolderListingTest, VisitorCanStopTheListing) {
  int visits = 0;
  uint32_t status = ListFolder(folder_.Path(), "*", [&](const FolderEntry&) { return ++visits < 2; });
  EXPECT_EQ(visits, 2);
  EXPECT_EQ(status, kErrorSuccess);
}

}  // namespace
}  // namespace vermilax::platform
