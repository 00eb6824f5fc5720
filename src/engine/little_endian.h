#pragma once
#include <cstddef>
#include <cstdint>

namespace vermilax {

// Little-endian loads from raw bytes; PE structures are little-endian on every host.
inline uint16_t LoadU16LE(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

inline uint32_t LoadU32LE(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint64_t LoadU64LE(const uint8_t* p) { return uint64_t(LoadU32LE(p)) | (uint64_t(LoadU32LE(p + 4)) << 32); }

}  // namespace vermilax
