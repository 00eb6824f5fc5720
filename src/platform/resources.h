#pragma once
#include <optional>
#include <string>

namespace vermilax::platform {

// Bytes of the program's own raw-data (RCDATA) resource, or nullopt. Names ignore
// letter case; "#2001" names the resource with the number 2001.
std::optional<std::string> ReadProgramResource(const std::string& name);

}  // namespace vermilax::platform
