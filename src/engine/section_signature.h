#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/md5.h"
#include "engine/md5_signature.h"
#include "engine/pe_scanner.h"

namespace vermilax {

// Section signatures ("smd.c"): each record names one PE section by its aligned
// raw size and the MD5 digest of its raw data, so a known malicious section is
// caught inside files that differ elsewhere. Lines read "size:digest:name".
class SecMD5Signature {
 public:
  // Removes all records; Version stays.
  void Clear();
  // Clears the set and reads the archive `fileName`; an unreadable archive
  // leaves it empty. Count becomes the number of lines before any is parsed.
  // Throws std::out_of_range for a line with fewer than three fields and
  // std::invalid_argument for a size or digest that cannot be converted; the
  // records from that line on then stay zeroed (size 0, zero digest, no name)
  // and still take part in lookups.
  void Load(const std::string& fileName);

  int32_t Count() const { return slots_; }
  // The record at `index` in file order; a zeroed record for the slots of a
  // load that stopped early and for positions out of range.
  const MD5Record& Items(int32_t index) const;
  const std::string& Version() const { return version_; }
  static bool Matches(const MD5Record& record, int32_t size, const Digest& digest);

  // The record whose name the file gets: among all records that match some
  // section (its AlignedRawSize and digest), the last in file order. Null when
  // none matches or the analysis reported an error. Allocates nothing.
  const MD5Record* FindSection(const PEScanner& scanner) const;
  const MD5Record* FindSection(std::span<const SectionInfo> sections) const;

 private:
  using Key = SizeDigestKey;
  using KeyHash = SizeDigestKeyHash;

  void ParseLine(const std::string& line, std::vector<std::string>& fields);
  void IndexRecord(const Key& key, int32_t index);

  std::vector<MD5Record> items_;  // the parsed records, in file order
  // Slots of the last load, one per line; those past items_ read as zeroed
  // records without taking memory.
  int32_t slots_ = 0;
  std::string version_;
  // (size, digest) -> highest slot holding that key. Records with a negative
  // size can never match and are left out.
  std::unordered_map<Key, int32_t, KeyHash> last_slot_of_;
};

}  // namespace vermilax
