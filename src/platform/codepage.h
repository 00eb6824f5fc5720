#pragma once
#include <cstdint>

namespace vermilax::platform {

// True when `byte` starts a double-byte character in the system's ANSI code
// page; always false for single-byte code pages.
bool IsLeadByte(uint8_t byte);

}  // namespace vermilax::platform
