#include "engine/virus_signature.h"

#include <span>
#include <stdexcept>

#include "engine/signature_archive.h"
#include "env/text_utils.h"

namespace vermilax {
namespace {

const VirusRecord kEmptyRecord{};

// Anchor groups of the pattern index; numbered sections follow the fixed ones.
constexpr uint32_t kGroupEntryPoint = 0;
constexpr uint32_t kGroupLastSection = 1;
constexpr uint32_t kGroupEverySection = 2;
constexpr uint32_t kGroupFirstNumbered = 3;

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view Tail(std::string_view text, size_t from) {
  return from < text.size() ? text.substr(from) : std::string_view();
}

// Kinds 0, 1 and 2 from a location that is not "*". False when a number does
// not convert; the record then gets no pattern.
bool ParseAnchoredLocation(std::string_view location, VirusRecord& record) {
  try {
    if (location.size() >= 2 && location[0] == 'S' && location[1] == 'L') {
      record.LocationKind = kLocationLastSection;
      record.Offset = StrToInt(Tail(location, 3));
    } else if (!location.empty() && location[0] == 'S') {
      record.LocationKind = kLocationSection;
      size_t plus = location.find('+');
      if (plus == std::string_view::npos) return false;
      record.SectionIndex = static_cast<uint8_t>(StrToInt(location.substr(1, plus - 1)));
      record.Offset = StrToInt(location.substr(plus + 1));
    } else if (!location.empty() && location[0] == 'E') {
      record.LocationKind = kLocationEntryPoint;
      record.Offset = StrToInt(Tail(location, 3));
    } else {
      record.LocationKind = kLocationEntryPoint;
      record.Offset = 0;
      return false;
    }
  } catch (const std::invalid_argument&) {
    return false;
  }
  return true;
}

// Pairs of characters; "??" is a wildcard. A final single character is ignored.
void ConvertPattern(VirusRecord& record) {
  const std::string& text = record.PatternText;
  const size_t pairs = text.size() / 2;
  record.Bytes.resize(pairs);
  record.Mask.resize(pairs);
  for (size_t i = 0; i < pairs; ++i) {
    std::string_view pair(text.data() + 2 * i, 2);
    const bool wildcard = pair == "??";
    record.Bytes[i] = wildcard ? 255 : HexPairToByte(pair);
    record.Mask[i] = wildcard;
  }
}

// Whether the pattern lies inside the compared window of its anchor.
bool FitsWindow(const VirusRecord& record) {
  return record.Offset >= 0 && int64_t(record.Offset) + int64_t(record.Bytes.size()) <= kVirusPatternWindow;
}

bool MatchesAt(const VirusRecord& record, std::span<const uint8_t> data) {
  if (!FitsWindow(record)) return false;
  const size_t offset = size_t(record.Offset), length = record.Bytes.size();
  if (data.size() < offset + length) return false;
  const uint8_t* at = data.data() + offset;
  for (size_t i = 0; i < length; ++i) {
    if (!record.Mask[i] && at[i] != record.Bytes[i]) return false;
  }
  return true;
}

std::span<const uint8_t> EntryPointBytes(const PEScanner& scanner) {
  return std::span<const uint8_t>(scanner.EntryPointBuffer().data(), scanner.EntryPointBuffer().size());
}

std::span<const uint8_t> SectionBytes(const PEScanner& scanner, size_t section) {
  std::string_view data = scanner.SectionData(section);
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

}  // namespace

void VirusSignature::Clear() {
  items_.clear();
  index_.Clear();
}

void VirusSignature::Load(const std::string& fileName) {
  Clear();
  std::vector<std::string> lines;
  ReadSignatureArchive(fileName, lines, version_);
  LoadLines(lines);
}

void VirusSignature::LoadLines(const std::vector<std::string>& lines) {
  Clear();
  std::vector<std::string> fields;
  try {
    for (const std::string& line : lines) ParseLine(line, fields);
  } catch (...) {
    index_.Build();  // the records before the bad line stay searchable
    throw;
  }
  index_.Build();
}

void VirusSignature::ParseLine(const std::string& line, std::vector<std::string>& fields) {
  SplitString(':', line, fields);
  if (fields.size() < 3) throw std::out_of_range("byte signature line has fewer than three fields: '" + line + "'");
  VirusRecord record;
  record.Name = fields[0];
  record.Code = static_cast<uint8_t>(StrToInt(fields[1]));
  record.LocationText = fields[2];
  if (fields[2] == "*") {
    if (fields.size() < 4) throw std::out_of_range("byte signature line without a pattern: '" + line + "'");
    record.LocationKind = kLocationEverySection;
    record.SectionIndex = 255;
    record.Offset = 0;
  } else if (!ParseAnchoredLocation(fields[2], record) || fields.size() < 4) {
    return;  // no pattern: it would compare nothing and match every file
  }
  record.PatternText = AsciiUpper(fields[3]);
  ConvertPattern(record);
  if (record.Bytes.empty()) return;
  items_.push_back(std::move(record));
  IndexRecord(Count() - 1);
}

void VirusSignature::IndexRecord(int32_t index) {
  const VirusRecord& record = items_[size_t(index)];
  if (!FitsWindow(record)) return;  // can never match: not a candidate anywhere
  uint32_t group = kGroupEntryPoint;
  switch (record.LocationKind) {
    case kLocationSection: group = kGroupFirstNumbered + record.SectionIndex; break;
    case kLocationLastSection: group = kGroupLastSection; break;
    case kLocationEverySection: group = kGroupEverySection; break;
    default: break;
  }
  for (size_t i = 0; i < record.Bytes.size(); ++i) {
    if (!record.Mask[i]) {
      index_.Add(group, index, uint32_t(record.Offset) + uint32_t(i), record.Bytes[i]);
      return;
    }
  }
  index_.Add(group, index, std::nullopt, 0);
}

const VirusRecord& VirusSignature::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return kEmptyRecord;
  return items_[size_t(index)];
}

bool VirusSignature::MatchEntryPoint(int32_t index, const PEScanner& scanner) const {
  if (index < 0 || index >= Count()) return false;
  return MatchesAt(items_[size_t(index)], EntryPointBytes(scanner));
}

bool VirusSignature::MatchSection(int32_t index, const PEScanner& scanner, int32_t section) const {
  if (index < 0 || index >= Count()) return false;
  if (section < 0 || size_t(section) >= scanner.Sections().size()) return false;
  return MatchesAt(items_[size_t(index)], SectionBytes(scanner, size_t(section)));
}

const VirusRecord* VirusSignature::FindMatch(const PEScanner& scanner) const {
  int32_t best = Count();
  const std::span<const uint8_t> entryPoint = EntryPointBytes(scanner);
  best = index_.FindFirst(kGroupEntryPoint, entryPoint, best,
                          [&](int32_t i) { return MatchesAt(items_[size_t(i)], entryPoint); });

  const std::vector<SectionInfo>& sections = scanner.Sections();
  for (size_t s = 0; s < sections.size(); ++s) {
    if (sections[s].AlignedRawSize == 0) continue;
    const std::span<const uint8_t> data = SectionBytes(scanner, s);
    auto matches = [&](int32_t i) { return MatchesAt(items_[size_t(i)], data); };
    best = index_.FindFirst(kGroupEverySection, data, best, matches);
    best = index_.FindFirst(kGroupFirstNumbered + uint32_t(s), data, best, matches);
    if (s + 1 == sections.size()) best = index_.FindFirst(kGroupLastSection, data, best, matches);
  }
  return best < Count() ? &items_[size_t(best)] : nullptr;
}

int32_t VirusSignature::FindMatchRecordByRecord(const PEScanner& scanner) const {
  const auto& sections = scanner.Sections();
  const int32_t last = int32_t(sections.size()) - 1;
  auto hasData = [&](int32_t s) { return s >= 0 && s <= last && sections[size_t(s)].AlignedRawSize != 0; };
  for (int32_t i = 0; i < Count(); ++i) {
    const VirusRecord& r = Items(i);
    bool match = false;
    switch (r.LocationKind) {
      case kLocationEntryPoint: match = MatchEntryPoint(i, scanner); break;
      case kLocationSection: match = hasData(r.SectionIndex) && MatchSection(i, scanner, r.SectionIndex); break;
      case kLocationLastSection: match = hasData(last) && MatchSection(i, scanner, last); break;
      default:
        for (int32_t s = 0; s <= last && !match; ++s) match = hasData(s) && MatchSection(i, scanner, s);
    }
    if (match) return i;
  }
  return -1;
}

}  // namespace vermilax
