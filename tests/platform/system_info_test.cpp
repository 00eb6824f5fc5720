#include "platform/system_info.h"

#include <gtest/gtest.h>

namespace vermilax::platform {
namespace {

TEST(PlatformSystemInfoTest, DescribesThisMachine) {
  EXPECT_GT(TotalPhysicalMemory(), 0u);
  std::optional<std::string> computer = ComputerName();
  ASSERT_TRUE(computer.has_value());
  EXPECT_FALSE(computer->empty());
  EXPECT_LE(computer->size(), 256u);
  std::optional<std::string> user = UserName();
  ASSERT_TRUE(user.has_value());
  EXPECT_FALSE(user->empty());
  EXPECT_LE(user->size(), 255u);
  // The size the system reports counts a terminating zero; it must not be part of the name.
  EXPECT_EQ(user->find('\0'), std::string::npos);
}

TEST(PlatformSystemInfoTest, OsVersionMatchesTheBuild) {
  OsVersion os = ReadOsVersion();
#ifdef _WIN32
  EXPECT_EQ(os.Family, OsFamily::WindowsNT);
  EXPECT_GT(os.BuildNumber, 0u);
  EXPECT_EQ(ProcessorFromSystem(), std::nullopt);  // the registry describes the processor
#else
  EXPECT_EQ(os.Family, OsFamily::Other);
  EXPECT_FALSE(os.ProductName.empty());
  EXPECT_FALSE(os.Version.empty());
#endif
}

}  // namespace
}  // namespace vermilax::platform
