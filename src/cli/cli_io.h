#pragma once
// File access shared by the commands of vermilax-cli.
#include <string>

namespace vermilax::cli {

// Reads all bytes of a file, letting others read and write it meanwhile.
// False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& data);

}  // namespace vermilax::cli
