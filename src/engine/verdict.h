#pragma once
#include <cstdint>
#include <string_view>

namespace vermilax {

// What the checker says about one file.
enum class Verdict : uint8_t {
  Threat = 0,
  Suspicious = 1,
  Clean = 2,
  Error = 3,
};

// The words the scan log and the report use for each verdict, by code.
inline constexpr std::string_view VerdictNames[] = {"Threat", "Suspicious", "Clean", "Error"};

inline std::string_view VerdictName(Verdict verdict) { return VerdictNames[static_cast<uint8_t>(verdict) & 3]; }

}  // namespace vermilax
