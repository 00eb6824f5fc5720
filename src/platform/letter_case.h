#pragma once
#include <string>

namespace vermilax::platform {

// Letter-case conversion in the system's ANSI code page (natively: ASCII letters
// only; other bytes stay as they are). Works in place on all bytes of `text`.
void LowerCaseInPlace(std::string& text);
void UpperCaseInPlace(std::string& text);

}  // namespace vermilax::platform
