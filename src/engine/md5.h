#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vermilax {

// A digest: the 16 bytes of RFC 1321 MD5, in the order the algorithm outputs them.
using Digest = std::array<uint8_t, 16>;

// Incremental MD5 for callers that feed data in pieces.
class MD5Context {
 public:
  MD5Context();
  void Update(const void* data, size_t length);
  Digest Finish();

 private:
  void Transform(const uint8_t* block);
  uint32_t state_[4];
  uint64_t length_ = 0;
  uint8_t buffer_[64];
  size_t buffered_ = 0;
};

Digest MD5OfBuffer(const void* data, size_t length);
Digest MD5OfString(std::string_view text);
// Digest of a file's bytes, read in blocks of 4096 bytes from the file opened
// read-only without sharing. Throws std::runtime_error when it cannot be opened.
Digest MD5OfFile(const std::string& path);

// 32 upper-case hexadecimal digits, first byte first.
std::string DigestToHex(const Digest& digest);
// 32 hexadecimal digits of either case. Throws std::invalid_argument on a pair
// that is not hexadecimal or when fewer than 32 digits are given.
Digest HexToDigest(std::string_view hex);
bool SameDigest(const Digest& a, const Digest& b);

// Position of the first occurrence of `needle` in `haystack`, or nullopt
// (also when the needle is longer than the haystack).
std::optional<size_t> FindBytes(std::string_view haystack, std::string_view needle);

}  // namespace vermilax
