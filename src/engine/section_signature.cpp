#include "engine/section_signature.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/signature_archive.h"
#include "env/text_utils.h"

namespace vermilax {
namespace {

const MD5Record kZeroRecord{};

// A size digit, 32 digest digits, a name character and two separators.
constexpr size_t kShortestRecordLine = 36;

}  // namespace

void SecMD5Signature::Clear() {
  items_.clear();
  slots_ = 0;
  last_slot_of_.clear();
}

void SecMD5Signature::Load(const std::string& fileName) {
  Clear();
  std::vector<std::string> lines;
  ReadSignatureArchive(fileName, lines, version_);
  // Only the lines before the first one too short to be a record can be
  // parsed, so a run of empty lines cannot make the set reserve memory.
  auto firstShort = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& line) { return line.size() < kShortestRecordLine; });
  const size_t parsable = size_t(firstShort - lines.begin());
  items_.reserve(parsable);
  last_slot_of_.reserve(parsable);
  slots_ = static_cast<int32_t>(lines.size());

  std::vector<std::string> fields;
  try {
    for (const std::string& line : lines) ParseLine(line, fields);
  } catch (...) {
    // The slots from the bad line on stay zeroed, and a zeroed record matches
    // a section without raw data; the last of them answers for all.
    IndexRecord(Key{0, Digest{}}, slots_ - 1);
    throw;
  }
}

void SecMD5Signature::ParseLine(const std::string& line, std::vector<std::string>& fields) {
  SplitString(':', line, fields);
  if (fields.size() < 3) throw std::out_of_range("section signature line has fewer than three fields: '" + line + "'");
  MD5Record record;
  const std::string& name = fields[2];
  std::memcpy(record.Name, name.data(), std::min(name.size(), MD5Record::kMaxNameLength));
  record.Size = StrToInt(fields[0]);
  record.Digest = HexToDigest(fields[1]);
  items_.push_back(record);
  IndexRecord(Key{record.Size, record.Digest}, static_cast<int32_t>(items_.size() - 1));
}

void SecMD5Signature::IndexRecord(const Key& key, int32_t index) {
  if (key.size < 0) return;
  int32_t& slot = last_slot_of_.try_emplace(key, index).first->second;
  slot = std::max(slot, index);
}

const MD5Record& SecMD5Signature::Items(int32_t index) const {
  if (index < 0 || size_t(index) >= items_.size()) return kZeroRecord;
  return items_[size_t(index)];
}

bool SecMD5Signature::Matches(const MD5Record& record, int32_t size, const Digest& digest) {
  return size >= 0 && size == record.Size && SameDigest(record.Digest, digest);
}

const MD5Record* SecMD5Signature::FindSection(const PEScanner& scanner) const {
  if (scanner.HasError()) return nullptr;
  return FindSection(scanner.Sections());
}

const MD5Record* SecMD5Signature::FindSection(std::span<const SectionInfo> sections) const {
  if (last_slot_of_.empty()) return nullptr;
  int32_t best = -1;
  for (const SectionInfo& section : sections) {
    // Sizes of 2 GiB and more read as negative and, like in Matches, match nothing.
    const int32_t size = static_cast<int32_t>(section.AlignedRawSize);
    if (size < 0) continue;
    auto found = last_slot_of_.find(Key{size, section.Digest});
    if (found != last_slot_of_.end()) best = std::max(best, found->second);
  }
  return best < 0 ? nullptr : &Items(best);
}

}  // namespace vermilax
