#include "platform/system_text.h"

#include <gtest/gtest.h>

namespace vermilax::platform {
namespace {

const char kCpuInfo[] =
    "processor\t: 0\n"
    "vendor_id\t: GenuineIntel\n"
    "model\t\t: 158\n"
    "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz  \n"
    "\n"
    "processor\t: 1\n"
    "vendor_id\t: OtherVendor\n";

TEST(ColonFieldTest, FindsTheFirstExactKeyAndTrimsItsValue) {
  EXPECT_EQ(ColonField(kCpuInfo, "model name"), "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  EXPECT_EQ(ColonField(kCpuInfo, "vendor_id"), "GenuineIntel");
  EXPECT_EQ(ColonField(kCpuInfo, "model"), "158");  // not confused with "model name"
  EXPECT_EQ(ColonField(kCpuInfo, "flags"), std::nullopt);
  EXPECT_EQ(ColonField("key:", "key"), "");
  EXPECT_EQ(ColonField("", "key"), std::nullopt);
}

TEST(OsReleaseFieldTest, RemovesShellQuotes) {
  const char text[] =
      "NAME=\"Debian GNU/Linux\"\r\n"
      "PRETTY_NAME=\"Debian \\\"bookworm\\\"\"\n"
      "VERSION_ID='12'\n"
      "ID=debian\n"
      "EMPTY=\n"
      "ODD=\"\n";
  EXPECT_EQ(OsReleaseField(text, "NAME"), "Debian GNU/Linux");
  EXPECT_EQ(OsReleaseField(text, "PRETTY_NAME"), "Debian \"bookworm\"");
  EXPECT_EQ(OsReleaseField(text, "VERSION_ID"), "12");
  EXPECT_EQ(OsReleaseField(text, "ID"), "debian");
  EXPECT_EQ(OsReleaseField(text, "EMPTY"), "");
  EXPECT_EQ(OsReleaseField(text, "ODD"), "\"");  // an unmatched quote stays as written
  EXPECT_EQ(OsReleaseField(text, "VERSION"), std::nullopt);
}

TEST(MemTotalBytesTest, ConvertsKibibytesAndCapsAt32Bits) {
  struct Case {
    const char* meminfo;
    uint32_t bytes;
  } cases[] = {
      {"MemTotal:        524288 kB\nMemFree: 1 kB\n", 512u << 20},
      {"MemFree: 1 kB\nMemTotal: 1 kB\n", 1024},
      {"MemTotal: 4194304 kB\n", 0xFFFFFFFFu},               // exactly 4 GiB no longer fits
      {"MemTotal: 4194303 kB\n", 0xFFFFFC00u},
      {"MemTotal: 99999999999999999999999999 kB\n", 0xFFFFFFFFu},  // no overflow on absurd counts
      {"MemTotal: 1234\n", 1234},                             // no unit: bytes
      {"MemTotal: 12 MB\n", 0},                               // unknown unit
      {"MemTotal: kB\n", 0},
      {"MemFree: 1 kB\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(MemTotalBytes(c.meminfo), c.bytes) << c.meminfo;
}

TEST(KernelPatchLevelTest, TakesTheThirdNumber) {
  struct Case {
    const char* release;
    uint32_t patch;
  } cases[] = {
      {"6.1.55-amd64", 55}, {"6.1.0-18-amd64", 0}, {"5.15.153.1-microsoft-standard-WSL2", 153},
      {"6.8", 0},           {"", 0},              {"6..3", 0},
      {"4.4.99999999999", 0xFFFFFFFFu},
  };
  for (const Case& c : cases) EXPECT_EQ(KernelPatchLevel(c.release), c.patch) << c.release;
}

}  // namespace
}  // namespace vermilax::platform
