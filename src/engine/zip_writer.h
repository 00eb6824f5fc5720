#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vermilax {

// Builds a ZIP archive in memory, one entry after the other.
class ZipWriter {
 public:
  // Compression level for AddEntry: 0 stores the bytes, 1 to 9 deflate them.
  static constexpr int kStored = 0;
  static constexpr int kBestCompression = 9;

  // Appends an entry; false (archive unchanged) when compression fails or the
  // entry would not fit the format's 32-bit sizes and 16-bit counts.
  bool AddEntry(std::string_view name, std::string_view data, int level);
  // The complete archive: local entries, central directory and end record.
  std::string Finish() const;

 private:
  std::string local_;      // local headers with their data
  std::string directory_;  // central directory records
  uint16_t count_ = 0;
};

}  // namespace vermilax
