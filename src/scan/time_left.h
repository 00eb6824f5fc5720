#pragma once
#include <cstdint>
#include <string>

namespace vermilax {

// The owner refreshes its time estimate only every this many items, so the
// progress handler stays cheap.
inline constexpr int64_t kTimeLeftInterval = 500;

// remaining := (Total - Processed) × elapsed ÷ Processed, shown as
// "Time left : 3 minutes" from one minute on, else "Time left : 42 seconds".
// Empty while nothing has been processed.
std::string TimeLeftText(int64_t total, int64_t processed, double elapsedSeconds);

}  // namespace vermilax
