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

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

size_t SizeDigestKeyHash::operator()(const SizeDigestKey& key) const {
  uint64_t low = 0, high = 0;
  std::memcpy(&low, key.digest.data(), 8);
  std::memcpy(&high, key.digest.data() + 8, 8);
  return size_t(Mix(low ^ Mix(high ^ Mix(uint32_t(key.size)))));
}

void MD5Signature::Clear() {
  items_.clear();
  prefix_start_.clear();
  slots_ = 0;
  count_ = 0;
}

void MD5Signature::Load(const std::string& fileName) {
  Clear();
  std::optional<uint64_t> fileSize = platform::FindFileSize(fileName);
  database_file_size_ = fileSize ? static_cast<int32_t>(static_cast<uint32_t>(*fileSize)) : -1;

  std::string db, versionText;
  if (!ReadSignatureArchiveEntries(fileName, db, versionText)) return;
  version_ = std::move(versionText);
  // A line too short to be a record ends the load, so only the lines before
  // the first such one can need a slot: one allocation for a sound database,
  // and a run of empty lines cannot make the set reserve memory.
  size_t lines = 0, sound = 0;
  ForEachLine(db, [&](std::string_view line) {
    if (sound == lines && line.size() >= kShortestRecordLine) ++sound;
    ++lines;
  });
  items_.reserve(sound);
  slots_ = static_cast<int32_t>(lines);
  std::vector<std::string_view> fields;
  ForEachLine(db, [&](std::string_view line) { ParseLine(line, fields); });
  count_ += static_cast<int32_t>(lines);
  BuildPrefixIndex();
}

void MD5Signature::ParseLine(std::string_view line, std::vector<std::string_view>& fields) {
  SplitStringViews(':', line, fields);
  if (fields.size() < 3)
    throw std::out_of_range("signature line has fewer than three fields: '" + std::string(line) + "'");
  MD5Record record;
  std::string_view name = fields[2];
  std::memcpy(record.Name, name.data(), std::min(name.size(), MD5Record::kMaxNameLength));
  record.Size = StrToInt(fields[1]);
  record.Digest = HexToDigest(fields[0]);
  items_.push_back(record);
}

// For a complete load in the required order, the records sharing the first two
// digest bytes lie together; remembering where each such run starts lets Find
// search a handful of records instead of the whole set. The answers are those of
// the plain binary search, which is what Find uses for anything else.
void MD5Signature::BuildPrefixIndex() {
  prefix_start_.clear();
  if (items_.empty() || items_.size() != size_t(slots_)) return;
  for (size_t i = 1; i < items_.size(); ++i) {
    const MD5Record& a = items_[i - 1];
    const MD5Record& b = items_[i];
    if (CompareKey(a.Digest, a.Size, b.Digest, b.Size) < 0) return;
  }
  prefix_start_.assign(kPrefixes + 1, 0);
  for (const MD5Record& record : items_) ++prefix_start_[PrefixRank(record.Digest) + 1];
  for (size_t i = 1; i <= kPrefixes; ++i) prefix_start_[i] += prefix_start_[i - 1];
}

const MD5Record& MD5Signature::Items(int32_t index) const {
  if (index < 0 || size_t(index) >= items_.size()) return kZeroRecord;
  return items_[size_t(index)];
}

const MD5Record* MD5Signature::Find(int32_t size, const Digest& digest) const {
  int32_t low = 0, high = slots_ - 1;
  if (!prefix_start_.empty()) {
    size_t rank = PrefixRank(digest);
    low = int32_t(prefix_start_[rank]);
    high = int32_t(prefix_start_[rank + 1]) - 1;
  }
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
