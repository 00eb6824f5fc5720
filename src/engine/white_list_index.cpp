#include "engine/white_list_index.h"

#include <cstring>

namespace vermilax {

size_t WhiteListIndex::KeyHash::operator()(const Key& key) const {
  uint64_t word;
  std::memcpy(&word, key.digest.data(), sizeof word);
  return size_t(word ^ (uint64_t(uint32_t(key.size)) * 0x9E3779B97F4A7C15ULL));
}

void WhiteListIndex::Rebuild(const MD5Signature& whiteList) {
  keys_.clear();
  keys_.reserve(size_t(whiteList.Count()));
  for (int32_t i = 0; i < whiteList.Count(); ++i) {
    const MD5Record& record = whiteList.Items(i);
    // A record with a negative size can never match.
    if (record.Size >= 0) keys_.insert(Key{record.Size, record.Digest});
  }
}

bool WhiteListIndex::Contains(int32_t size, const Digest& digest) const {
  return size >= 0 && keys_.count(Key{size, digest}) != 0;
}

}  // namespace vermilax
