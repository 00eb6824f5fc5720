#include "engine/white_list_index.h"

namespace vermilax {

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
