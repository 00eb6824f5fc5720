#pragma once
#include <optional>
#include <string>

namespace vermilax::platform {

// Bytes of the program's own raw-data (RCDATA) resource, or nullopt.
std::optional<std::string> ReadProgramResource(const std::string& name);

}  // namespace vermilax::platform
