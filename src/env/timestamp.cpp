#include "env/timestamp.h"

namespace vermilax {
namespace {

std::string TwoDigits(int value) {
  std::string text;
  if (value < 10) text += '0';
  text += std::to_string(value);
  return text;
}

}  // namespace

std::string FormatTimestamp() { return FormatTimestamp(platform::CurrentLocalTime()); }

std::string FormatTimestamp(const platform::LocalTime& time) {
  return TwoDigits(time.year) + "-" + TwoDigits(time.month) + "-" + TwoDigits(time.day) + " [" + TwoDigits(time.hour) +
         "-" + TwoDigits(time.minute) + "-" + TwoDigits(time.second) + "]";
}

}  // namespace vermilax
