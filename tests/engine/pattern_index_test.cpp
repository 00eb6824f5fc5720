#include "engine/pattern_index.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vermilax {
namespace {

// A pattern as the index sees it: its group and one fixed byte (or none).
struct Pattern {
  uint32_t group;
  std::optional<uint32_t> position;
  uint8_t byte;
  bool acceptsAll;  // what the full comparison would say once the key byte agrees
};

bool KeyAgrees(const Pattern& p, const std::vector<uint8_t>& data) {
  return !p.position || (*p.position < data.size() && data[*p.position] == p.byte);
}

TEST(PatternIndex, FindsTheSmallestMatchingIndexBelowTheLimit) {
  PatternIndex index;
  const std::vector<Pattern> patterns = {
      {0, 0, 0x60, true},  {1, 0, 0x60, true},         {0, 2, 0xE8, true}, {0, std::nullopt, 0, true},
      {0, 0, 0x60, false}, {0, 9, 0x00, true},  // position beyond the data below
  };
  for (size_t i = 0; i < patterns.size(); ++i)
    index.Add(patterns[i].group, int32_t(i), patterns[i].position, patterns[i].byte);
  index.Build();
  auto accepts = [&](int32_t i) { return patterns[size_t(i)].acceptsAll; };
  const std::vector<uint8_t> pusha = {0x60, 0x00, 0xE8}, other = {0x61, 0x00, 0xE8}, none = {0x61, 0x00, 0x00};
  EXPECT_EQ(index.FindFirst(0, pusha, 100, accepts), 0);
  EXPECT_EQ(index.FindFirst(0, other, 100, accepts), 2);
  EXPECT_EQ(index.FindFirst(0, none, 100, accepts), 3);  // only the wildcard-only pattern is left
  EXPECT_EQ(index.FindFirst(0, none, 3, accepts), 3);    // nothing below the limit
  EXPECT_EQ(index.FindFirst(1, pusha, 100, accepts), 1);
  EXPECT_EQ(index.FindFirst(1, none, 100, accepts), 100);
  EXPECT_EQ(index.FindFirst(7, pusha, 100, accepts), 100);  // no such group
  EXPECT_EQ(index.FindFirst(0, {}, 100, accepts), 3);
  index.Clear();
  index.Build();
  EXPECT_EQ(index.FindFirst(0, pusha, 100, accepts), 100);
}

// 10,000 patterns over a few positions: a lookup compares only those whose
// key byte agrees, and still gives the answer of trying every pattern in order.
TEST(PatternIndex, ComparesOnlyCandidatesAndAgreesWithTryingEveryPattern) {
  std::mt19937 rng(7);
  std::vector<Pattern> patterns;
  for (int i = 0; i < 10000; ++i) {
    std::optional<uint32_t> position;
    if (rng() % 500 != 0) position = rng() % 8;
    patterns.push_back({uint32_t(rng() % 3), position, uint8_t(rng()), rng() % 4 == 0});
  }
  PatternIndex index;
  for (size_t i = 0; i < patterns.size(); ++i)
    index.Add(patterns[i].group, int32_t(i), patterns[i].position, patterns[i].byte);
  index.Build();

  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(rng() % 10);
    for (uint8_t& b : data) b = uint8_t(rng());
    const uint32_t group = uint32_t(rng() % 4);
    int32_t expected = int32_t(patterns.size());
    for (size_t i = 0; i < patterns.size(); ++i) {
      if (patterns[i].group == group && KeyAgrees(patterns[i], data) && patterns[i].acceptsAll) {
        expected = int32_t(i);
        break;
      }
    }
    size_t compared = 0;
    const int32_t found = index.FindFirst(group, data, int32_t(patterns.size()), [&](int32_t i) {
      ++compared;
      EXPECT_TRUE(KeyAgrees(patterns[size_t(i)], data)) << i;
      return patterns[size_t(i)].acceptsAll;
    });
    ASSERT_EQ(found, expected) << "round " << round;
    // About 10,000 / 3 groups / 256 values per position, plus the few wildcard-only ones.
    EXPECT_LT(compared, 150u) << "round " << round;
  }
}

}  // namespace
}  // namespace vermilax
