#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pattern_index.h"
#include "engine/pe_scanner.h"

namespace vermilax {

// Where a byte signature is anchored.
enum VirusLocationKind : uint8_t {
  kLocationEntryPoint = 0,
  kLocationSection = 1,      // the section numbered SectionIndex
  kLocationLastSection = 2,  // the last entry of the section table
  kLocationEverySection = 3,
};

// Patterns are compared within the first 2048 bytes of their anchor.
inline constexpr int64_t kVirusPatternWindow = 2048;

// One deep-scan byte signature.
struct VirusRecord {
  std::string Name;
  uint8_t Code = 0;              // the second field of the line; not used for matching
  std::vector<uint8_t> Bytes;    // pattern bytes, 255 at wildcards
  std::vector<bool> Mask;        // true at wildcards
  std::string PatternText;       // the pattern field in upper case
  int32_t Offset = 0;            // from the anchor
  std::string LocationText;      // as written
  uint8_t SectionIndex = 0;      // for kLocationSection; 255 for kLocationEverySection
  uint8_t LocationKind = kLocationEntryPoint;
};

// Byte signatures with wildcards, anchored at the entry point or at the start
// of a section's raw data. Lines read "name:code:location:pattern".
class VirusSignature {
 public:
  void Clear();
  // Clears the set and reads the archive `fileName`; an unreadable archive
  // leaves it empty. Throws std::out_of_range for a line with fewer than three
  // fields or an every-section line without a pattern, and std::invalid_argument
  // for a code that is no integer; the records of the earlier lines stay.
  // A record left without pattern bytes (an unknown location, an unreadable
  // number or pattern) would match every file, so it is not kept.
  void Load(const std::string& fileName);
  // As Load, from the lines of a database text already in memory.
  void LoadLines(const std::vector<std::string>& lines);

  // Number of records kept.
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Record `index` in file order; an empty record when out of range.
  const VirusRecord& Items(int32_t index) const;
  const std::string& Version() const { return version_; }

  // Record `index` against the entry-point bytes of an analysed file.
  bool MatchEntryPoint(int32_t index, const PEScanner& scanner) const;
  // Record `index` against the raw data of section `section`.
  bool MatchSection(int32_t index, const PEScanner& scanner, int32_t section) const;
  // The first record, in file order, that matches the file at its anchor; null
  // when none does.
  const VirusRecord* FindMatch(const PEScanner& scanner) const;
  // The same lookup without the prepared index: every record tried in file order.
  // The reference FindMatch must agree with (tests, fuzzing, benchmarks); -1 for none.
  int32_t FindMatchRecordByRecord(const PEScanner& scanner) const;

 private:
  void ParseLine(const std::string& line, std::vector<std::string>& fields);
  void IndexRecord(int32_t index);

  std::vector<VirusRecord> items_;
  std::string version_;
  PatternIndex index_;
};

}  // namespace vermilax
