#include "env/timestamp.h"

#include <gtest/gtest.h>

#include <regex>

namespace vermilax {
namespace {

TEST(FormatTimestamp, PadsEveryPartBelowTen) {
  const struct {
    platform::LocalTime time;
    const char* text;
  } kCases[] = {
      {{2009, 7, 18, 9, 5, 3}, "2009-07-18 [09-05-03]"},
      {{2024, 12, 31, 23, 59, 59}, "2024-12-31 [23-59-59]"},
      {{2010, 1, 1, 0, 0, 0}, "2010-01-01 [00-00-00]"},
      {{12345, 10, 10, 10, 10, 10}, "12345-10-10 [10-10-10]"},  // the year in full
  };
  for (const auto& c : kCases) EXPECT_EQ(FormatTimestamp(c.time), c.text);
}

TEST(FormatTimestamp, FormatsTheCurrentLocalTime) {
  std::string now = FormatTimestamp();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\d \[\d\d-\d\d-\d\d\])"))) << now;
}

}  // namespace
}  // namespace vermilax
