#pragma once
#include <cstdint>
#include <memory>

#include "engine/md5.h"

namespace vermilax {

// One file the checker has judged in the current scan.
struct CheckedFile {
  Digest ContentDigest{};
  int32_t Size = 0;
  Digest PathDigest{};
};

// The files judged in the current scan, so a file met twice is judged once.
// Holds at most kCapacity entries; everything is allocated at construction and
// remembering a file never allocates. Two hash tables of entry indices answer
// the same questions as a scan of the entries from the first.
class JudgedFileCache {
 public:
  static constexpr int32_t kCapacity = 50000;

  JudgedFileCache();

  // Appends an entry while fewer than kCapacity are used; otherwise nothing.
  void Remember(const Digest& contentDigest, int32_t size, const Digest& pathDigest);
  // An entry with this path digest and size, for a size of 0 or more.
  bool HasPath(const Digest& pathDigest, int32_t size) const;
  // An entry with this size, content digest and path digest.
  bool HasFile(int32_t size, const Digest& contentDigest, const Digest& pathDigest) const;
  void Clear();
  int32_t Count() const { return count_; }
  const CheckedFile& Entry(int32_t index) const { return entries_[index]; }

 private:
  // Power of two, well above twice kCapacity, so probe runs stay short.
  static constexpr uint32_t kSlots = 131072;
  static constexpr int32_t kEmpty = -1;

  bool SamePath(int32_t index, const Digest& pathDigest, int32_t size) const;
  bool SameFile(int32_t index, int32_t size, const Digest& contentDigest, const Digest& pathDigest) const;

  std::unique_ptr<CheckedFile[]> entries_;  // kCapacity + 1, as the cache was always laid out
  std::unique_ptr<int32_t[]> by_path_;       // (path digest, size) -> entry index
  std::unique_ptr<int32_t[]> by_file_;       // (size, content digest, path digest) -> entry index
  uint16_t count_ = 0;
};

}  // namespace vermilax
