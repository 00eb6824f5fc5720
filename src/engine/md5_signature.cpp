#include "engine/md5_signature.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/signature_archive.h"
#include "env/text_utils.h"
#include "platform/files.h"

namespace vermilax {
namespace {

const MD5Record kZeroRecord{};

// 32 digest digits, a size digit, a name character and two separators.
constexpr size_t kShortestRecordLine = 36;

// Orders keys as the threat databases are sorted: digest bytes unsigned from
// the first, then the size signed. Negative: a < b.
int CompareKey(const Digest& digestA, int32_t sizeA, const Digest& digestB, int32_t sizeB) {
  int byDigest = std::memcmp(digestA.data(), digestB.data(), digestA.size());
  if (byDigest != 0) return byDigest;
  return sizeA < sizeB ? -1 : (sizeA > sizeB ? 1 : 0);
}

}  // namespace

void MD5Signature::Clear() {
  items_.clear();
  slots_ = 0;
  count_ = 0;
}

void MD5Signature::Load(const std::string& fileName) {
  Clear();
  std::optional<uint64_t> fileSize = platform::FindFileSize(fileName);
  database_file_size_ = fileSize ? static_cast<int32_t>(static_cast<uint32_t>(*fileSize)) : -1;

  std::vector<std::string> lines;
  ReadSignatureArchive(fileName, lines, version_);
  // A line too short to be a record ends the load, so only the lines before
  // the first such one can need a slot: one allocation for a sound database,
  // and a run of empty lines cannot make the set reserve memory.
  auto firstShort = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& line) { return line.size() < kShortestRecordLine; });
  items_.reserve(size_t(firstShort - lines.begin()));
  slots_ = static_cast<int32_t>(lines.size());
  std::vector<std::string> fields;
  for (const std::string& line : lines) ParseLine(line, fields);
  count_ += static_cast<int32_t>(lines.size());
}

void MD5Signature::ParseLine(const std::string& line, std::vector<std::string>& fields) {
  SplitString(':', line, fields);
  if (fields.size() < 3) throw std::out_of_range("signature line has fewer than three fields: '" + line + "'");
  MD5Record record;
  const std::string& name = fields[2];
  std::memcpy(record.Name, name.data(), std::min(name.size(), MD5Record::kMaxNameLength));
  record.Size = StrToInt(fields[1]);
  record.Digest = HexToDigest(fields[0]);
  items_.push_back(record);
}

const MD5Record& MD5Signature::Items(int32_t index) const {
  if (index < 0 || size_t(index) >= items_.size()) return kZeroRecord;
  return items_[size_t(index)];
}

const MD5Record* MD5Signature::Find(int32_t size, const Digest& digest) const {
  int32_t low = 0, high = slots_ - 1;
  while (low <= high) {
    int32_t middle = low + (high - low) / 2;
    const MD5Record& record = Items(middle);
    int order = CompareKey(digest, size, record.Digest, record.Size);
    if (order > 0) high = middle - 1;
    else if (order < 0) low = middle + 1;
    else return &record;
  }
  return nullptr;
}

bool MD5Signature::Matches(const MD5Record& record, int32_t size, const Digest& digest) {
  return size >= 0 && size == record.Size && SameDigest(record.Digest, digest);
}

}  // namespace vermilax
