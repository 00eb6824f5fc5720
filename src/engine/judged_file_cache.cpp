#include "engine/judged_file_cache.h"

#include <algorithm>
#include <cstring>

namespace vermilax {
namespace {

uint64_t DigestWord(const Digest& digest, size_t at) {
  uint64_t word;
  std::memcpy(&word, digest.data() + at, sizeof word);
  return word;
}

// Digests are already uniformly spread; mixing in the size keeps equal files
// under different sizes apart.
uint64_t Mix(uint64_t value) {
  value ^= value >> 33;
  value *= 0xff51afd7ed558ccdULL;
  value ^= value >> 33;
  return value;
}

}  // namespace

JudgedFileCache::JudgedFileCache()
    : entries_(new CheckedFile[kCapacity + 1]), by_path_(new int32_t[kSlots]), by_file_(new int32_t[kSlots]) {
  Clear();
}

void JudgedFileCache::Clear() {
  count_ = 0;
  std::fill_n(by_path_.get(), kSlots, kEmpty);
  std::fill_n(by_file_.get(), kSlots, kEmpty);
}

bool JudgedFileCache::SamePath(int32_t index, const Digest& pathDigest, int32_t size) const {
  const CheckedFile& entry = entries_[index];
  return entry.Size == size && SameDigest(entry.PathDigest, pathDigest);
}

bool JudgedFileCache::SameFile(int32_t index, int32_t size, const Digest& contentDigest,
                               const Digest& pathDigest) const {
  const CheckedFile& entry = entries_[index];
  return entry.Size == size && SameDigest(entry.ContentDigest, contentDigest) &&
         SameDigest(entry.PathDigest, pathDigest);
}

namespace {

uint32_t PathSlot(const Digest& pathDigest, int32_t size) {
  return uint32_t(Mix(DigestWord(pathDigest, 0) ^ uint32_t(size)));
}

uint32_t FileSlot(int32_t size, const Digest& contentDigest, const Digest& pathDigest) {
  return uint32_t(Mix(DigestWord(contentDigest, 0) ^ DigestWord(pathDigest, 8) ^ uint32_t(size)));
}

}  // namespace

void JudgedFileCache::Remember(const Digest& contentDigest, int32_t size, const Digest& pathDigest) {
  if (count_ >= kCapacity) return;
  const int32_t index = count_;
  entries_[index] = CheckedFile{contentDigest, size, pathDigest};
  ++count_;
  // Only the first entry of each key needs a slot: later equal ones answer alike.
  for (uint32_t slot = PathSlot(pathDigest, size) & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
    if (by_path_[slot] == kEmpty) {
      by_path_[slot] = index;
      break;
    }
    if (SamePath(by_path_[slot], pathDigest, size)) break;
  }
  for (uint32_t slot = FileSlot(size, contentDigest, pathDigest) & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
    if (by_file_[slot] == kEmpty) {
      by_file_[slot] = index;
      break;
    }
    if (SameFile(by_file_[slot], size, contentDigest, pathDigest)) break;
  }
}

bool JudgedFileCache::HasPath(const Digest& pathDigest, int32_t size) const {
  if (size < 0) return false;
  for (uint32_t slot = PathSlot(pathDigest, size) & (kSlots - 1); by_path_[slot] != kEmpty;
       slot = (slot + 1) & (kSlots - 1)) {
    if (SamePath(by_path_[slot], pathDigest, size)) return true;
  }
  return false;
}

bool JudgedFileCache::HasFile(int32_t size, const Digest& contentDigest, const Digest& pathDigest) const {
  for (uint32_t slot = FileSlot(size, contentDigest, pathDigest) & (kSlots - 1); by_file_[slot] != kEmpty;
       slot = (slot + 1) & (kSlots - 1)) {
    if (SameFile(by_file_[slot], size, contentDigest, pathDigest)) return true;
  }
  return false;
}

}  // namespace vermilax
