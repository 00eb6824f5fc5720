#include "engine/packer_signature.h"

#include <span>
#include <stdexcept>

#include "engine/signature_archive.h"
#include "env/text_utils.h"

namespace vermilax {
namespace {

const PackerRecord kEmptyRecord{};

constexpr uint32_t kGroupEntryPoint = 0;
constexpr uint32_t kGroupSectionStart = 1;

bool EqualsIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

// The tokens after the first "=": two characters each, one blank apart.
// There are as many pattern entries as the line's length allows, even where
// the tokens run out early; such entries stay zero.
void ParsePattern(PackerRecord& record) {
  const std::string& line = record.SignatureLine;
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return;
  const size_t count = (line.size() - equals) / 3;
  record.Bytes.assign(count, 0);
  record.Mask.assign(count, false);
  size_t at = equals + 1;
  if (at < line.size() && line[at] == ' ') ++at;
  for (size_t n = 0; n < count && at + 1 < line.size(); ++n, at += 3) {
    std::string_view token(line.data() + at, 2);
    const bool wildcard = token == "??";
    record.Bytes[n] = wildcard ? 255 : HexPairToByte(token);
    record.Mask[n] = wildcard;
  }
}

}  // namespace

bool StrToBool(std::string_view text) {
  if (EqualsIgnoringCase(text, "true")) return true;
  if (EqualsIgnoringCase(text, "false")) return false;
  try {
    return StrToInt(text) != 0;
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("'" + std::string(text) + "' is not a valid boolean value");
  }
}

void PackerSignature::Clear() {
  items_.clear();
  index_.Clear();
}

void PackerSignature::Load(const std::string& fileName) {
  Clear();
  std::vector<std::string> lines;
  ReadSignatureArchive(fileName, lines, version_);
  LoadLines(lines);
}

void PackerSignature::LoadLines(const std::vector<std::string>& lines) {
  Clear();
  try {
    for (size_t i = 0; i < lines.size();) {
      const std::string head = TrimText(lines[i]);
      if (head.empty() || head[0] != '[') {
        ++i;  // comments and blank lines between entries
        continue;
      }
      ParseEntry(lines, i, head);
      i += 3;
    }
  } catch (...) {
    index_.Build();  // the entries before the bad one stay searchable
    throw;
  }
  index_.Build();
}

void PackerSignature::ParseEntry(const std::vector<std::string>& lines, size_t i, const std::string& head) {
  PackerRecord record;
  const size_t close = head.find(']');
  if (close != std::string::npos) record.Name = head.substr(1, close - 1);
  if (i + 1 >= lines.size()) {
    if (on_truncated_entry_) on_truncated_entry_(record.Name);
    throw std::out_of_range("packer entry '" + record.Name + "' ends after its first line");
  }
  record.SignatureLine = TrimText(lines[i + 1]);
  ParsePattern(record);
  if (i + 2 >= lines.size()) throw std::out_of_range("packer entry '" + record.Name + "' has no third line");
  const std::string options = TrimText(lines[i + 2]);
  const size_t equals = options.find('=');
  if (equals != std::string::npos) record.EpOnly = StrToBool(TrimText(std::string_view(options).substr(equals + 1)));
  if (record.Bytes.empty()) return;  // it would match every file

  const int32_t index = Count();
  items_.push_back(std::move(record));
  const PackerRecord& kept = items_.back();
  const uint32_t group = kept.EpOnly ? kGroupEntryPoint : kGroupSectionStart;
  for (size_t k = 0; k < kept.Bytes.size(); ++k) {
    if (!kept.Mask[k]) {
      index_.Add(group, index, uint32_t(k), kept.Bytes[k]);
      return;
    }
  }
  index_.Add(group, index, std::nullopt, 0);
}

const PackerRecord& PackerSignature::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return kEmptyRecord;
  return items_[size_t(index)];
}

bool PackerSignature::MatchRecord(const PackerRecord& record, const uint8_t* data, size_t length) {
  if (data == nullptr || length == 0 || length < record.Bytes.size()) return false;
  for (size_t i = 0; i < record.Bytes.size(); ++i) {
    if (!record.Mask[i] && data[i] != record.Bytes[i]) return false;
  }
  return true;
}

PackerMatch PackerSignature::FindMatch(const PEScanner& scanner) const {
  int32_t best = Count();
  const std::span<const uint8_t> entryPoint(scanner.EntryPointBuffer().data(), scanner.EntryPointBuffer().size());
  best = index_.FindFirst(kGroupEntryPoint, entryPoint, best, [&](int32_t i) {
    return MatchRecord(items_[size_t(i)], entryPoint.data(), entryPoint.size());
  });
  for (size_t s = 0; s < scanner.Sections().size(); ++s) {
    std::string_view raw = scanner.SectionData(s);
    if (raw.empty()) continue;
    const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
    best = index_.FindFirst(kGroupSectionStart, data, best,
                            [&](int32_t i) { return MatchRecord(items_[size_t(i)], data.data(), data.size()); });
  }
  if (best >= Count()) return PackerMatch{};
  return PackerMatch{&items_[size_t(best)], best};
}

int32_t PackerSignature::FindMatchRecordByRecord(const PEScanner& scanner) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const PackerRecord& r = Items(i);
    if (r.EpOnly) {
      if (MatchRecord(r, scanner.EntryPointBuffer().data(), kEntryPointBufferSize)) return i;
      continue;
    }
    for (size_t s = 0; s < scanner.Sections().size(); ++s) {
      std::string_view raw = scanner.SectionData(s);
      if (MatchRecord(r, reinterpret_cast<const uint8_t*>(raw.data()), raw.size())) return i;
    }
  }
  return -1;
}

}  // namespace vermilax
