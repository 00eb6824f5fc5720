#include "cli/progress_line.h"

#include <algorithm>

namespace vermilax::cli {

std::string ProgressLine::Render(uint8_t percent, int64_t processed, int64_t total, const std::string& timeLeft,
                                 const std::string& target, int columns) {
  std::string line = std::to_string(percent) + "%  " + std::to_string(processed) + "/" + std::to_string(total) +
                     " files";
  if (!timeLeft.empty()) line += "  " + timeLeft;
  line += "  ";
  // One column stays free: writing the last one makes some terminals wrap.
  const size_t width = size_t(std::max(columns - 1, 1));
  if (line.size() >= width) return line.substr(0, width);
  const size_t room = width - line.size();
  if (target.size() <= room) return line + target;
  if (room <= 3) return line + target.substr(target.size() - room);
  return line + "..." + target.substr(target.size() - (room - 3));
}

void ProgressLine::Show(uint8_t percent, int64_t processed, int64_t total, const std::string& timeLeft,
                        const std::string& target, bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  std::string line = Render(percent, processed, total, timeLeft, target, columns_);
  line.resize(size_t(std::max(columns_ - 1, 1)), ' ');  // blanks out a longer line drawn before
  err_ << '\r' << line << std::flush;
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  err_ << '\r' << std::string(size_t(std::max(columns_ - 1, 1)), ' ') << '\r' << std::flush;
  drawn_ = false;
}

}  // namespace vermilax::cli
