#include "env/system_info.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/registry.h"

namespace vermilax {
namespace {

using platform::Hive;
namespace registry = platform::registry;

TEST(FormatMemoryTextTest, RoundsMebibytesHalfToEven) {
  constexpr uint32_t kMiB = 1u << 20;
  struct Case {
    uint32_t bytes;
    const char* text;
  } cases[] = {
      {512 * kMiB + kMiB / 2, "512 Mb"},      // 512.5: the even neighbour is below
      {513 * kMiB + kMiB / 2, "514 Mb"},      // 513.5: the even neighbour is above
      {512 * kMiB + kMiB / 2 - 1, "512 Mb"},
      {513 * kMiB + kMiB / 2 + 1, "514 Mb"},
      {512 * kMiB + kMiB / 2 + 1, "513 Mb"},
      {1024 * kMiB, "1024 Mb"},
      {kMiB / 2, "0 Mb"},
      {kMiB / 2 + 1, "1 Mb"},
      {0, "0 Mb"},
      {0xFFFFFFFFu, "4096 Mb"},  // what a machine with 4 GiB or more reports
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMemoryText(c.bytes), c.text) << c.bytes;
}

// The registry rules, on a key of the test's own.
class ProcessorNameTest : public ::testing::Test {
 protected:
  static constexpr char kKey[] = "Software\\Quorvo\\VermilaxTests\\CentralProcessor";
  void SetUp() override { registry::DeleteKeyTree(Hive::CurrentUser, kKey); }
  void TearDown() override { registry::DeleteKeyTree(Hive::CurrentUser, kKey); }
};

TEST_F(ProcessorNameTest, FallsBackFromNameToVendorAndIdentifier) {
  struct Case {
    const char* name;  // nullptr: value absent
    const char* vendor;
    const char* identifier;
    const char* expected;
  } cases[] = {
      {"  Intel(R) Pentium(R) 4 CPU 2.80GHz ", "GenuineIntel", "x86 Family 15", "Intel(R) Pentium(R) 4 CPU 2.80GHz"},
      {nullptr, "GenuineIntel", "x86 Family 6", "GenuineIntel - x86 Family 6"},
      {"   ", " GenuineIntel\t", " x86 Family 6 ", "GenuineIntel - x86 Family 6"},
      {nullptr, "AuthenticAMD", nullptr, "AuthenticAMD"},
      {nullptr, "AuthenticAMD", "  ", "AuthenticAMD"},
      {nullptr, nullptr, "x86 Family 6", "Unknown processor"},
      {"", "", "", "Unknown processor"},
      {nullptr, nullptr, nullptr, "Unknown processor"},
  };
  for (const Case& c : cases) {
    registry::DeleteKeyTree(Hive::CurrentUser, kKey);
    ASSERT_TRUE(registry::CreateKey(Hive::CurrentUser, kKey));
    if (c.name) registry::WriteString(Hive::CurrentUser, kKey, "ProcessorNameString", c.name);
    if (c.vendor) registry::WriteString(Hive::CurrentUser, kKey, "VendorIdentifier", c.vendor);
    if (c.identifier) registry::WriteString(Hive::CurrentUser, kKey, "Identifier", c.identifier);
    EXPECT_EQ(ProcessorNameFromRegistry(Hive::CurrentUser, kKey), c.expected)
        << (c.name ? c.name : "-") << " / " << (c.vendor ? c.vendor : "-");
  }
}

TEST_F(ProcessorNameTest, ValuesOfOtherTypesAndMissingKeysReadAsEmpty) {
  EXPECT_EQ(ProcessorNameFromRegistry(Hive::CurrentUser, kKey), "Unknown processor");
  registry::WriteDword(Hive::CurrentUser, kKey, "ProcessorNameString", 7);
  registry::WriteString(Hive::CurrentUser, kKey, "VendorIdentifier", "GenuineIntel");
  registry::WriteBinary(Hive::CurrentUser, kKey, "Identifier", "x86");
  EXPECT_EQ(ProcessorNameFromRegistry(Hive::CurrentUser, kKey), "GenuineIntel");
}

TEST(SystemInfoTest, TextsHaveTheirFormats) {
  EXPECT_TRUE(std::regex_match(GetMemoryText(), std::regex("[0-9]+ Mb")));
  EXPECT_TRUE(std::regex_match(GetWindowsName(), std::regex(".+ \\(version .*\\)"))) << GetWindowsName();
  EXPECT_TRUE(std::regex_match(GetBuildNumberText(), std::regex("[0-9]+")));
  EXPECT_FALSE(GetProcessorName().empty());
  EXPECT_FALSE(GetComputerNameText().empty());
  EXPECT_FALSE(GetUserNameText().empty());
  std::string sp = GetServicePackText();
  if (!sp.empty()) {
    EXPECT_GT(static_cast<unsigned char>(sp.front()), 32);
    EXPECT_GT(static_cast<unsigned char>(sp.back()), 32);
  }
  EXPECT_EQ(GetAboutSystemText(), GetProcessorName() + ", " + GetMemoryText() + " RAM\r" + GetWindowsName() +
                                      "\rBuild " + GetBuildNumberText() + " " + GetServicePackText());
}

TEST(WindowsNameTest, FollowsThePlatformFamily) {
  platform::OsVersion win32s;
  win32s.Family = platform::OsFamily::Win32s;
  EXPECT_EQ(WindowsNameFor(win32s), "Windows 3.1 (version )");

  platform::OsVersion other;
  other.Family = platform::OsFamily::Other;
  other.ProductName = "Debian GNU/Linux 12 (bookworm)";
  other.Version = "12";
  EXPECT_EQ(WindowsNameFor(other), "Debian GNU/Linux 12 (bookworm) (version 12)");
}

TEST(BuildNumberTextTest, KeepsTheLowWordOnTheWindows9xFamily) {
  platform::OsVersion os;
  os.BuildNumber = 0x040A08AE;  // Windows 98 SE: 4.10 in the high word, build 2222
  os.Family = platform::OsFamily::Windows9x;
  EXPECT_EQ(BuildNumberTextFor(os), "2222");
  os.Family = platform::OsFamily::WindowsNT;
  EXPECT_EQ(BuildNumberTextFor(os), std::to_string(0x040A08AE));
}

#ifndef _WIN32
// Natively the machine keys live in the in-memory registry: tests may fill them.
class MachineKeysTest : public ::testing::Test {
 protected:
  static constexpr char kNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  static constexpr char k9xKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const char* key : {kProcessorKey, kNtKey, k9xKey}) registry::DeleteKeyTree(Hive::LocalMachine, key);
  }
};

TEST_F(MachineKeysTest, ProcessorKeyWinsOverTheSystemsDescription) {
  registry::WriteString(Hive::LocalMachine, kProcessorKey, "VendorIdentifier", "GenuineIntel");
  registry::WriteString(Hive::LocalMachine, kProcessorKey, "Identifier", "x86 Family 6");
  EXPECT_EQ(GetProcessorName(), "GenuineIntel - x86 Family 6");
}

TEST_F(MachineKeysTest, WithoutProcessorKeyTheSystemDescribesItself) {
  std::string name = GetProcessorName();
  platform::ProcessorDescription cpu = platform::ProcessorFromSystem().value_or(platform::ProcessorDescription{});
  std::string expected = !cpu.Name.empty() ? cpu.Name : !cpu.Vendor.empty() ? cpu.Vendor : "Unknown processor";
  EXPECT_EQ(name, expected);
}

TEST_F(MachineKeysTest, WindowsNameComesFromTheFamilysKey) {
  registry::WriteString(Hive::LocalMachine, kNtKey, "ProductName", "Microsoft Windows XP");
  registry::WriteString(Hive::LocalMachine, kNtKey, "CurrentVersion", "5.1");
  registry::WriteString(Hive::LocalMachine, k9xKey, "ProductName", "Microsoft Windows 98");
  registry::WriteString(Hive::LocalMachine, k9xKey, "VersionNumber", "4.10.2222");
  platform::OsVersion os;
  os.Family = platform::OsFamily::WindowsNT;
  EXPECT_EQ(WindowsNameFor(os), "Microsoft Windows XP (version 5.1)");
  os.Family = platform::OsFamily::Windows9x;
  EXPECT_EQ(WindowsNameFor(os), "Microsoft Windows 98 (version 4.10.2222)");
  registry::DeleteKeyTree(Hive::LocalMachine, k9xKey);
  EXPECT_EQ(WindowsNameFor(os), " (version )");  // missing values read as empty
}
#endif

}  // namespace
}  // namespace vermilax
