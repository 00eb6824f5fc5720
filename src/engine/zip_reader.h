#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vermilax {

struct ZipEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t localHeaderOffset = 0;
};

// Reads a ZIP archive held in memory. Every offset and size is checked against
// the buffer, so any byte sequence is safe to hand in.
class ZipReader {
 public:
  // No entry may inflate beyond this, whatever its header claims.
  static constexpr uint32_t kMaxEntrySize = 256u << 20;

  // Parses the central directory of `data`, which must outlive the reader.
  // False when the bytes do not form a ZIP archive.
  bool Open(std::string_view data);

  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The first entry of that name, or null.
  const ZipEntry* Find(std::string_view name, bool ignoreCase = false) const;
  // Extracts a stored or deflated entry and checks its size and CRC-32. False
  // (with `out` empty) for an encrypted or damaged entry, an unknown method,
  // or one larger than `maxSize` bytes.
  bool Extract(const ZipEntry& entry, std::string& out, uint32_t maxSize = kMaxEntrySize) const;

 private:
  bool ReadDirectory(uint32_t offset, uint32_t size, uint32_t count);
  bool EntryData(const ZipEntry& entry, std::string_view& compressed) const;

  std::string_view data_;
  std::vector<ZipEntry> entries_;
};

}  // namespace vermilax
