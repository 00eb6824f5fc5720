#pragma once
// File access shared by the commands of vermilax-cli.
#include <cstddef>
#include <string>

namespace vermilax::cli {

// Reads all bytes of a file, letting others read and write it meanwhile.
// False when it cannot be opened or read, or holds more than `maxSize` bytes.
bool ReadWholeFile(const std::string& path, std::string& data, size_t maxSize);

}  // namespace vermilax::cli
