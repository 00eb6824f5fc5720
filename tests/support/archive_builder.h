#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/md5.h"

namespace vermilax::test {

struct ZipSource {
  std::string name;
  std::string data;
  int level = 9;  // 0 stores the bytes, 1 to 9 deflate them
};

// A plain (unscrambled) ZIP archive holding the given entries in order.
std::string BuildZip(const std::vector<ZipSource>& entries);
// The bytes XOR the archive key: the on-disk form of a ZIP archive.
std::string Scramble(std::string_view zip);

// Writes `bytes` to `path`; throws std::runtime_error on failure.
void WriteBytes(const std::string& path, std::string_view bytes);
// Writes a signature archive with the given "DB" and "ver" texts to `path`.
void WriteArchive(const std::string& path, std::string_view db, std::string_view version, bool deflate = true);

// One line of a whole-file MD5 database: "DIGEST:size:name".
std::string MD5Line(const Digest& digest, int64_t size, std::string_view name);

}  // namespace vermilax::test
