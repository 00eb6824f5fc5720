#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pattern_index.h"
#include "engine/pe_scanner.h"

namespace vermilax {

// One packer signature: the first bytes a packer leaves at the entry point or
// at the start of a section.
struct PackerRecord {
  std::string Name;           // between "[" and "]" of the entry's first line
  std::vector<uint8_t> Bytes;  // pattern bytes, 255 at wildcards
  std::vector<bool> Mask;      // true at wildcards
  std::string SignatureLine;   // the whole trimmed second line
  bool EpOnly = false;         // entry point only; otherwise the start of every section
};

struct PackerMatch {
  const PackerRecord* Record = nullptr;
  int32_t Index = -1;
};

// "true" or "false" in any letter case, or an integer (true unless 0).
// Throws std::invalid_argument for anything else.
bool StrToBool(std::string_view text);

// One set of packer signatures, read from the "DB" text of one "*.z" archive:
// entries of three lines ("[name]", "label = 60 E8 ?? 5D", "label = true").
class PackerSignature {
 public:
  // Told the name of an entry that ends right after its first line, before the
  // load stops on it.
  using TruncatedEntryHandler = std::function<void(const std::string& name)>;

  void Clear();
  void SetName(const std::string& name) { name_ = name; }
  const std::string& Name() const { return name_; }
  void SetOnTruncatedEntry(TruncatedEntryHandler handler) { on_truncated_entry_ = std::move(handler); }

  // Clears the set and reads the archive `fileName`; an unreadable archive
  // leaves it empty. Throws std::out_of_range for an entry without its third
  // line and std::invalid_argument for a third line whose value is no truth
  // value; the complete entries before it stay. An entry without pattern bytes
  // (no "=" on its second line) would match every file, so it is not kept.
  void Load(const std::string& fileName);
  // As Load, from the lines of a database text already in memory.
  void LoadLines(const std::vector<std::string>& lines);

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Record `index` in file order; an empty record when out of range.
  const PackerRecord& Items(int32_t index) const;
  const std::string& Version() const { return version_; }

  // True when the pattern matches `data` from its first byte; `data` must hold
  // at least as many bytes as the pattern. Empty data never matches.
  static bool MatchRecord(const PackerRecord& record, const uint8_t* data, size_t length);
  // The first record, in file order, that matches the entry-point bytes or
  // the start of a section's raw data, as the record asks.
  PackerMatch FindMatch(const PEScanner& scanner) const;
  // The same lookup without the prepared index: every record tried in file order.
  // The reference FindMatch must agree with (tests, fuzzing, benchmarks); -1 for none.
  int32_t FindMatchRecordByRecord(const PEScanner& scanner) const;

 private:
  // Parses the entry whose trimmed first line `head` is line `i`.
  void ParseEntry(const std::vector<std::string>& lines, size_t i, const std::string& head);

  std::string name_;
  std::vector<PackerRecord> items_;
  std::string version_;
  PatternIndex index_;
  TruncatedEntryHandler on_truncated_entry_;
};

}  // namespace vermilax
