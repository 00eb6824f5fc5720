#include "platform/codepage.h"

namespace vermilax::platform {

// Native builds treat all text as single-byte.
bool IsLeadByte(uint8_t) { return false; }

}  // namespace vermilax::platform
