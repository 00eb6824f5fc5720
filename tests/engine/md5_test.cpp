#include "engine/md5.h"

#include <gtest/gtest.h>

namespace vermilax {
namespace {

TEST(MD5, Rfc1321TestSuite) {
  const struct {
    const char* text;
    const char* hex;
  } kCases[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  for (const auto& c : kCases) EXPECT_EQ(DigestToHex(MD5OfString(c.text)), c.hex) << c.text;
}

TEST(MD5, IncrementalUpdatesMatchOneShotAcrossBlockEdges) {
  std::string data(1000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7 + 3);
  for (size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 128u, 999u}) {
    MD5Context ctx;
    ctx.Update(data.data(), cut);
    ctx.Update(data.data() + cut, data.size() - cut);
    EXPECT_EQ(ctx.Finish(), MD5OfString(data)) << cut;
  }
}

TEST(MD5, HexRoundTripAcceptsEitherCaseAndRejectsBadPairs) {
  Digest d = HexToDigest("d41d8cd98f00b204E9800998ECF8427E");
  EXPECT_EQ(DigestToHex(d), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_THROW(HexToDigest("D41D8CD98F00B204E9800998ECF8427G"), std::invalid_argument);
  EXPECT_THROW(HexToDigest("D41D8CD9"), std::invalid_argument);
  EXPECT_TRUE(SameDigest(d, MD5OfString("")));
  EXPECT_FALSE(SameDigest(d, MD5OfString("a")));
}

TEST(FindBytes, FirstOccurrenceOrNone) {
  EXPECT_EQ(FindBytes("abcabc", "ca"), 2u);
  EXPECT_EQ(FindBytes(std::string_view("a\0b", 3), std::string_view("\0b", 2)), 1u);
  EXPECT_EQ(FindBytes("abc", "abcd"), std::nullopt);
  EXPECT_EQ(FindBytes("abc", "x"), std::nullopt);
}

}  // namespace
}  // namespace vermilax
