#include "scan/time_left.h"

#include <algorithm>

namespace vermilax {

std::string TimeLeftText(int64_t total, int64_t processed, double elapsedSeconds) {
  if (processed <= 0) return std::string();
  // More files than counted (some appeared between the passes): nothing is left.
  const double remaining = double(std::max<int64_t>(total - processed, 0)) * elapsedSeconds / double(processed);
  const int64_t seconds = int64_t(remaining);
  if (seconds >= 60) return "Time left : " + std::to_string(seconds / 60) + " minutes";
  return "Time left : " + std::to_string(seconds) + " seconds";
}

}  // namespace vermilax
