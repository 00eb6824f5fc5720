#include "engine/heuristic.h"

#include <algorithm>
#include <stdexcept>

#include "engine/signature_archive.h"
#include "env/text_utils.h"

namespace vermilax {
namespace {

const HeuristicRule kEmptyRule{};

constexpr size_t kRuleFields = 6;

// Fragments are matched as substrings of the joined names, letter case respected.
bool ContainsAll(const std::string& names, const std::vector<std::string>& fragments) {
  for (const std::string& fragment : fragments) {
    if (names.find(fragment) == std::string::npos) return false;
  }
  return true;
}

}  // namespace

void Heuristic::Clear() {
  rules_.clear();
  rule_lines_.clear();
  count_ = 0;
}

void Heuristic::Load(const std::string& fileName) {
  Clear();
  std::vector<std::string> lines;
  ReadSignatureArchive(fileName, lines, version_);
  LoadLines(lines);
}

void Heuristic::LoadLines(const std::vector<std::string>& lines) {
  Clear();
  std::vector<std::string> fields;
  for (const std::string& line : lines) ParseLine(line, fields);
}

void Heuristic::ParseLine(const std::string& line, std::vector<std::string>& fields) {
  const int32_t lineIndex = count_++;  // an empty or bad line counts as a rule that never matches
  if (line.empty()) return;
  SplitString(':', line, fields);
  if (fields.size() < kRuleFields) throw std::out_of_range("heuristic rule has fewer than six fields: '" + line + "'");
  HeuristicRule rule;
  rule.Severity = fields[0] == "U" ? 0 : 1;
  rule.NeedsUpxLayout = fields[1] != "*";
  rule.NotForPrograms = fields[2] == "1";
  if (fields[3] != "*") SplitString(',', fields[3], rule.RequiredImports);
  SplitString(',', fields[4], rule.RequiredExports);
  rule.Name = fields[5];
  rules_.push_back(std::move(rule));
  rule_lines_.push_back(lineIndex);
}

const HeuristicRule& Heuristic::Items(int32_t index) const {
  auto at = std::lower_bound(rule_lines_.begin(), rule_lines_.end(), index);
  if (at == rule_lines_.end() || *at != index) return kEmptyRule;
  return rules_[size_t(at - rule_lines_.begin())];
}

HeuristicMatch Heuristic::Evaluate(PEScannerEx& scanner) const {
  scanner.ReadImports();
  const std::string& imports = scanner.ImportNames();
  bool exportsRead = false;  // a rebuild would give the same text, so read once
  for (size_t i = 0; i < rules_.size(); ++i) {
    const HeuristicRule& rule = rules_[i];
    if (rule.NotForPrograms && scanner.IsExecutableImage()) continue;
    if (rule.NeedsUpxLayout && !scanner.UpxLayout()) continue;
    if (rule.RequiredImports.empty() || !ContainsAll(imports, rule.RequiredImports)) continue;
    if (!exportsRead) {
      scanner.ReadExports();
      exportsRead = true;
    }
    const bool exportCondition = !rule.RequiredExports.empty() && rule.RequiredExports.front() != "*";
    if (exportCondition && !ContainsAll(scanner.ExportNames(), rule.RequiredExports)) continue;
    return HeuristicMatch{rule.Name, rule_lines_[i]};
  }
  return HeuristicMatch{};
}

}  // namespace vermilax
