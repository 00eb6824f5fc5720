#include "engine/judged_file_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/md5_signature.h"
#include "engine/white_list_index.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace vermilax {
namespace {

Digest DigestOf(uint32_t n) {
  Digest digest{};
  digest[0] = uint8_t(n);
  digest[15] = uint8_t(n >> 8);
  return digest;
}

// The cache as it was first written: scans of the used entries from the first.
struct NaiveCache {
  std::vector<CheckedFile> entries;
  void Remember(const Digest& content, int32_t size, const Digest& path) {
    if (entries.size() < size_t(JudgedFileCache::kCapacity)) entries.push_back({content, size, path});
  }
  bool HasPath(const Digest& path, int32_t size) const {
    for (const CheckedFile& e : entries)
      if (SameDigest(e.PathDigest, path) && e.Size == size && size >= 0) return true;
    return false;
  }
  bool HasFile(int32_t size, const Digest& content, const Digest& path) const {
    for (const CheckedFile& e : entries)
      if (e.Size == size && SameDigest(e.ContentDigest, content) && SameDigest(e.PathDigest, path)) return true;
    return false;
  }
};

// Few distinct digests and sizes so that hits, near misses and repeats are common.
TEST(JudgedFileCacheTest, AnswersLikeTheLinearScansOnRandomOperations) {
  std::mt19937 random(12345);
  auto pick = [&](uint32_t n) { return uint32_t(random() % n); };
  JudgedFileCache cache;
  NaiveCache naive;
  for (int step = 0; step < 40000; ++step) {
    const Digest content = DigestOf(pick(40)), path = DigestOf(pick(40));
    const int32_t size = int32_t(pick(6)) - 2;  // -2 .. 3: negative sizes included
    switch (pick(5)) {
      case 0:
        cache.Remember(content, size, path);
        naive.Remember(content, size, path);
        break;
      case 1:
        if (pick(50) == 0) {
          cache.Clear();
          naive.entries.clear();
        }
        break;
      case 2:
        ASSERT_EQ(cache.HasPath(path, size), naive.HasPath(path, size)) << step;
        break;
      default:
        ASSERT_EQ(cache.HasFile(size, content, path), naive.HasFile(size, content, path)) << step;
    }
    ASSERT_EQ(cache.Count(), int32_t(naive.entries.size()));
  }
}

TEST(JudgedFileCacheTest, StopsRememberingAtCapacity) {
  JudgedFileCache cache;
  for (uint32_t i = 0; i <= uint32_t(JudgedFileCache::kCapacity); ++i) cache.Remember(DigestOf(i), 1, DigestOf(i));
  EXPECT_EQ(cache.Count(), JudgedFileCache::kCapacity);
  const uint32_t last = JudgedFileCache::kCapacity;
  EXPECT_TRUE(cache.HasPath(DigestOf(last - 1), 1));
  EXPECT_FALSE(cache.HasPath(DigestOf(last), 1));
  EXPECT_FALSE(cache.HasFile(1, DigestOf(last), DigestOf(last)));
  cache.Clear();
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_FALSE(cache.HasPath(DigestOf(0), 1));
}

// A file of 2 GiB or more has the size -1: the early path test never takes it.
TEST(JudgedFileCacheTest, NegativeSizeNeverMatchesThePathTest) {
  JudgedFileCache cache;
  cache.Remember(DigestOf(1), -1, DigestOf(2));
  EXPECT_FALSE(cache.HasPath(DigestOf(2), -1));
  EXPECT_TRUE(cache.HasFile(-1, DigestOf(1), DigestOf(2)));
}

TEST(WhiteListIndexTest, AgreesWithMatchesOverEveryRecord) {
  std::mt19937 random(7);
  std::string text;
  for (int i = 0; i < 300; ++i) {
    const int32_t size = int32_t(random() % 8) - 2;  // negative sizes never match
    text += DigestToHex(MD5OfString(std::to_string(random() % 30))) + ":" + std::to_string(size) + ":n\r\n";
  }
  test::TempDir folder;
  test::WriteArchive(folder.File("wl.c"), text, "1");
  MD5Signature set;
  set.Load(folder.File("wl.c"));
  ASSERT_EQ(set.Count(), 300);
  WhiteListIndex index;
  index.Rebuild(set);
  for (int size = -3; size < 8; ++size) {
    for (int n = 0; n < 32; ++n) {
      const Digest digest = MD5OfString(std::to_string(n));
      bool linear = false;
      for (int32_t i = 0; i < set.Count() && !linear; ++i) linear = MD5Signature::Matches(set.Items(i), size, digest);
      EXPECT_EQ(index.Contains(size, digest), linear) << size << " " << n;
    }
  }
}

}  // namespace
}  // namespace vermilax
