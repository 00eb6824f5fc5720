#pragma once
#include <string>
#include <string_view>

namespace vermilax {

// Letter case in the system's ANSI code page (natively: ASCII letters only). The
// one place that decides how paths and names compare without regard to case.
std::string LowerCaseAnsi(std::string_view text);
std::string UpperCaseAnsi(std::string_view text);
// True when both texts are equal after conversion to lower case.
bool SameTextAnsi(std::string_view a, std::string_view b);

}  // namespace vermilax
