#include "engine/pattern_index.h"

#include <tuple>

namespace vermilax {

void PatternIndex::Clear() {
  entries_.clear();
  slots_.clear();
}

void PatternIndex::Add(uint32_t group, int32_t index, std::optional<uint32_t> keyPosition, uint8_t keyByte) {
  entries_.push_back(Entry{group, keyPosition.value_or(kNoPosition), keyPosition ? uint16_t(keyByte) : kAnyByte,
                           index});
}

void PatternIndex::Build() {
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.group, a.position, a.byte, a.index) < std::tie(b.group, b.position, b.byte, b.index);
  });
  slots_.clear();
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (slots_.empty() || slots_.back().group != e.group || slots_.back().position != e.position) {
      slots_.push_back(Slot{e.group, e.position, i, i});
    }
    slots_.back().end = i + 1;
  }
  slots_.shrink_to_fit();
}

}  // namespace vermilax
