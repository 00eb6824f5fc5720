#pragma once
// Record layouts of the ZIP format shared by the reader and the writer.
#include <cstdint>

namespace vermilax::zip {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;

inline constexpr uint32_t kLocalHeaderSize = 30;
inline constexpr uint32_t kCentralHeaderSize = 46;
inline constexpr uint32_t kEndOfDirectorySize = 22;
inline constexpr uint32_t kMaxCommentSize = 0xFFFF;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflate = 8;
inline constexpr uint16_t kFlagEncrypted = 0x0001;

}  // namespace vermilax::zip
