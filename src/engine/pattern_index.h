#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vermilax {

// Candidate lists for a set of byte patterns. Each pattern is filed under its
// anchor group (entry point, a section, ...) and under the value of one fixed
// (non-wildcard) byte at a known position of the anchor data, so a lookup only
// compares the patterns whose fixed byte agrees with the data. Patterns made of
// wildcards only are candidates for any data of their group.
//
// Built once at load time; lookups allocate nothing.
class PatternIndex {
 public:
  void Clear();
  // Files pattern `index` (its position in the set) under `group`. `keyPosition`
  // is where `keyByte` must appear in the anchor data; none for a pattern
  // without fixed bytes. Call Build before the first lookup.
  void Add(uint32_t group, int32_t index, std::optional<uint32_t> keyPosition, uint8_t keyByte);
  void Build();

  // The smallest pattern index below `limit` among the candidates of `group`
  // for which `matches(index)` is true, or `limit` when there is none.
  // Candidates are tried in ascending index order within each bucket, and a
  // bucket is left at its first match or at the first index not below the best.
  template <class Match>
  int32_t FindFirst(uint32_t group, std::span<const uint8_t> data, int32_t limit, Match&& matches) const;

 private:
  static constexpr uint32_t kNoPosition = UINT32_MAX;  // sorts last in its group
  static constexpr uint16_t kAnyByte = 256;

  struct Entry {
    uint32_t group;
    uint32_t position;
    uint16_t byte;
    int32_t index;
  };
  // The entries of one (group, position) pair.
  struct Slot {
    uint32_t group;
    uint32_t position;
    uint32_t begin;
    uint32_t end;
  };

  template <class Match>
  static int32_t Scan(const Entry* begin, const Entry* end, int32_t best, Match& matches);

  std::vector<Entry> entries_;  // sorted by group, position, byte, index
  std::vector<Slot> slots_;     // sorted by group, position
};

template <class Match>
int32_t PatternIndex::Scan(const Entry* begin, const Entry* end, int32_t best, Match& matches) {
  for (const Entry* e = begin; e != end && e->index < best; ++e) {
    if (matches(e->index)) return e->index;
  }
  return best;
}

template <class Match>
int32_t PatternIndex::FindFirst(uint32_t group, std::span<const uint8_t> data, int32_t limit,
                                Match&& matches) const {
  auto slotBefore = [](const Slot& slot, uint32_t g) { return slot.group < g; };
  auto slotAfter = [](uint32_t g, const Slot& slot) { return g < slot.group; };
  auto first = std::lower_bound(slots_.begin(), slots_.end(), group, slotBefore);
  auto last = std::upper_bound(first, slots_.end(), group, slotAfter);
  int32_t best = limit;
  for (auto slot = first; slot != last; ++slot) {
    if (slot->position != kNoPosition && slot->position >= data.size()) {
      // Later slots lie further out; only the wildcard-only slot, which sorts
      // last, can still hold candidates.
      slot = last - 1;
      if (slot->position != kNoPosition) break;
    }
    const Entry* begin = entries_.data() + slot->begin;
    const Entry* end = entries_.data() + slot->end;
    if (slot->position == kNoPosition) {
      best = Scan(begin, end, best, matches);
      continue;
    }
    const uint16_t value = data[slot->position];
    auto byteBefore = [](const Entry& e, uint16_t v) { return e.byte < v; };
    auto byteAfter = [](uint16_t v, const Entry& e) { return v < e.byte; };
    const Entry* lo = std::lower_bound(begin, end, value, byteBefore);
    const Entry* hi = std::upper_bound(lo, end, value, byteAfter);
    best = Scan(lo, hi, best, matches);
  }
  return best;
}

}  // namespace vermilax
