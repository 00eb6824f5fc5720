#pragma once
#include <string>

// Native builds only: programs have no resource section, so the resources a
// program carries are registered at start (generated C++ arrays) under their names.
namespace vermilax::platform {

// Makes `bytes` the raw-data resource `name` (letter case ignored), replacing an
// earlier one of that name.
void RegisterProgramResource(const std::string& name, const std::string& bytes);

}  // namespace vermilax::platform
