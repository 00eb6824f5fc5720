#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pe_scanner_ex.h"

namespace vermilax {

// One rule: a kind of program recognised by the names it imports and exports.
struct HeuristicRule {
  uint8_t Severity = 0;  // 1: a threat; 0: a suspicious program
  std::string Name;
  bool NeedsUpxLayout = false;  // only files with the UPX-like section layout
  bool NotForPrograms = false;  // never executable images
  std::vector<std::string> RequiredImports;  // all must occur in the import names
  // All must occur in the export names; empty or starting with "*": no condition.
  std::vector<std::string> RequiredExports;
};

struct HeuristicMatch {
  std::string Name;  // empty when no rule matched
  int32_t Index = -1;
};

// The rules of "heur.b"; lines read
// "severity:layout:program:imports:exports:name", lists separated by ",".
class Heuristic {
 public:
  void Clear();
  // Clears the set and reads the archive `fileName`; an unreadable archive
  // leaves it empty. Throws std::out_of_range for a non-empty line with fewer
  // than six fields; the rules before it stay.
  void Load(const std::string& fileName);
  // As Load, from the lines of a database text already in memory.
  void LoadLines(const std::vector<std::string>& lines);

  // Number of lines read, empty ones included (their rules never match).
  int32_t Count() const { return count_; }
  // Rule `index` in file order; an empty rule when out of range.
  const HeuristicRule& Items(int32_t index) const;
  const std::string& Version() const { return version_; }

  // The first rule, in file order, that matches an analysed file. Reads the
  // file's imports once, and its exports once when some rule's imports pass.
  HeuristicMatch Evaluate(PEScannerEx& scanner) const;

 private:
  void ParseLine(const std::string& line, std::vector<std::string>& fields);

  // Only the rules of non-empty lines are stored, with their line numbers in
  // ascending order: a text of blank lines cannot make the set take memory.
  std::vector<HeuristicRule> rules_;
  std::vector<int32_t> rule_lines_;
  int32_t count_ = 0;
  std::string version_;
};

}  // namespace vermilax
