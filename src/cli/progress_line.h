#pragma once
// The one-line progress display of vermilax-cli scan on a terminal.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace vermilax::cli {

// Percent, files, time left and the current target, redrawn in place at most
// ten times a second and cut to the terminal's width.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, int columns) : err_(err), columns_(columns) {}
  // Redraws when enough time has passed since the last drawing (or `force`).
  void Show(uint8_t percent, int64_t processed, int64_t total, const std::string& timeLeft, const std::string& target,
            bool force = false);
  // Blanks the line so that later output starts clean.
  void Clear();

  // The text drawn, without the carriage return: fixed fields first, the
  // target cut from the left so that its end (the file name) stays visible.
  static std::string Render(uint8_t percent, int64_t processed, int64_t total, const std::string& timeLeft,
                            const std::string& target, int columns);

 private:
  std::ostream& err_;
  int columns_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace vermilax::cli
