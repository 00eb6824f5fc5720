#include "scan/time_left.h"

#include <gtest/gtest.h>

namespace vermilax {
namespace {

TEST(TimeLeftText, MinutesFromOneMinuteOnElseSeconds) {
  const struct {
    int64_t total, processed;
    double elapsed;
    const char* text;
  } kCases[] = {
      {1000, 500, 30.0, "Time left : 30 seconds"},
      {1000, 500, 59.9, "Time left : 59 seconds"},
      {1000, 500, 60.0, "Time left : 1 minutes"},
      {6500, 500, 100.0, "Time left : 20 minutes"},  // 1200 s
      {500, 500, 10.0, "Time left : 0 seconds"},
      {500, 1000, 10.0, "Time left : 0 seconds"},  // more files than counted
      {1000, 0, 10.0, ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(TimeLeftText(c.total, c.processed, c.elapsed), c.text) << c.processed;
}

}  // namespace
}  // namespace vermilax
