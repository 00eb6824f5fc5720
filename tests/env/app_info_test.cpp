#include "env/app_info.h"

#include <gtest/gtest.h>

#include "version.h"

namespace vermilax {
namespace {

TEST(BuildNumberFromVersionTest, ConcatenatesTheFourParts) {
  struct Case {
    const char* version;
    int32_t build;
  } cases[] = {
      {"1.1.7.8", 1178},
      {"1.0.0.1", 1001},
      {"2.10.0.33", 210033},
      {"1.2.3.4.5", 1234},            // parts after the fourth are ignored
      {"0.0.0.0", 0},
      {"2.1.4.7483647", 2147483647},  // the largest that fits
      {"2.1.4.7483648", 0},           // one more does not fit 32 bits
      {"99.99.99.99999", 0},
      {"1.2.3", 0},                   // fewer than four parts
      {"", 0},
      {"1.2.3.beta", 0},
      {"1.-2.3.4", 0},
      {"1. 2.3.4", 0},
      {"...", 0},
      {"1..3.4", 134},  // an empty part adds no digits
  };
  for (const Case& c : cases) EXPECT_EQ(BuildNumberFromVersion(c.version), c.build) << c.version;
}

// Under Windows the values come from the test program's own version resource.
TEST(AppInfoTest, DescribesThisBuild) {
  const AppInfo& info = GetAppInfo();
  EXPECT_EQ(&info, &GetAppInfo());  // one object for the whole program
  EXPECT_EQ(info.ProductName, "Quorvo Vermilax");
  EXPECT_EQ(info.FileVersion, VERMILAX_VERSION_TEXT);
  EXPECT_EQ(info.ProductVersion, VERMILAX_VERSION_TEXT);
  std::string digits = std::to_string(VERMILAX_VERSION_MAJOR) + std::to_string(VERMILAX_VERSION_MINOR) +
                       std::to_string(VERMILAX_VERSION_PATCH) + std::to_string(VERMILAX_VERSION_BUILD);
  EXPECT_EQ(info.BuildNumber, std::stoi(digits));
}

}  // namespace
}  // namespace vermilax
