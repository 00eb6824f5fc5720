#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/md5.h"

namespace vermilax {

// One whole-file signature. Fixed size and no owned memory, so a set of them
// lies in one contiguous block.
struct MD5Record {
  static constexpr size_t kMaxNameLength = 64;
  char Name[kMaxNameLength + 1] = {};  // NUL-terminated
  ::vermilax::Digest Digest = {};
  int32_t Size = 0;

  std::string_view NameText() const { return Name; }
};

// The (size, digest) key of a record, for the sets that look records up by hash.
struct SizeDigestKey {
  int32_t size;
  ::vermilax::Digest digest;
  bool operator==(const SizeDigestKey&) const = default;
};
struct SizeDigestKeyHash {
  size_t operator()(const SizeDigestKey& key) const;
};

// A set of whole-file signatures (size, MD5 digest, name) loaded from a
// signature archive whose lines read "digest:size:name". Threat sets are
// stored in descending order of (digest, size), which Find relies on.
class MD5Signature {
 public:
  // Removes all records; Version and DatabaseFileSize stay.
  void Clear();
  // Clears the set and appends the records of the archive `fileName`. An
  // unreadable archive leaves the set empty. Throws std::out_of_range for a
  // line with fewer than three fields and std::invalid_argument for a size
  // that is no integer or a digest that is no hexadecimal; the records of
  // the earlier lines then stay findable, but Count stays 0.
  void Load(const std::string& fileName);

  int32_t Count() const { return count_; }
  // The record at `index`; an all-zero record for positions past the parsed
  // records (the slots of a load that stopped early) or out of range.
  const MD5Record& Items(int32_t index) const;
  // The record with exactly this size and digest, or null. Binary search.
  const MD5Record* Find(int32_t size, const Digest& digest) const;
  static bool Matches(const MD5Record& record, int32_t size, const Digest& digest);

  const std::string& Version() const { return version_; }
  // Size of the archive file at the last load; 0 before the first load,
  // -1 when the file did not exist.
  int32_t DatabaseFileSize() const { return database_file_size_; }

 private:
  void ParseLine(std::string_view line, std::vector<std::string_view>& fields);
  void BuildPrefixIndex();

  // The first two digest bytes, ranked in the set's descending order.
  static constexpr size_t kPrefixes = 65536;
  static size_t PrefixRank(const ::vermilax::Digest& digest) {
    return kPrefixes - 1 - ((size_t(digest[0]) << 8) | digest[1]);
  }

  std::vector<MD5Record> items_;  // the parsed records, in file order
  // Where the records of each digest prefix start (kPrefixes + 1 entries), when
  // the last load completed in the required order; empty otherwise.
  std::vector<uint32_t> prefix_start_;
  // Slots of the last load: one per line. Slots past items_ (left by a load
  // that stopped at a bad line) read as zeroed records without taking memory.
  int32_t slots_ = 0;
  int32_t count_ = 0;
  std::string version_;
  int32_t database_file_size_ = 0;
};

}  // namespace vermilax
