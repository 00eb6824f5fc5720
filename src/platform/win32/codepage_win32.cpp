#include <windows.h>

#include "platform/codepage.h"

namespace vermilax::platform {

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace vermilax::platform
