#pragma once
#include <cstdint>
#include <unordered_set>

#include "engine/md5.h"
#include "engine/md5_signature.h"

namespace vermilax {

// Hashed form of a white list: answers "does some record Match (size, digest)"
// without walking every record.
class WhiteListIndex {
 public:
  // Indexes the first Count() records of the set, the ones a lookup may see.
  void Rebuild(const MD5Signature& whiteList);
  bool Contains(int32_t size, const Digest& digest) const;

 private:
  using Key = SizeDigestKey;
  using KeyHash = SizeDigestKeyHash;
  std::unordered_set<Key, KeyHash> keys_;
};

}  // namespace vermilax
