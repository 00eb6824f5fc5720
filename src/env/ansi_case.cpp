#include "env/ansi_case.h"

#include "platform/letter_case.h"

namespace vermilax {

std::string LowerCaseAnsi(std::string_view text) {
  std::string result(text);
  platform::LowerCaseInPlace(result);
  return result;
}

std::string UpperCaseAnsi(std::string_view text) {
  std::string result(text);
  platform::UpperCaseInPlace(result);
  return result;
}

bool SameTextAnsi(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerCaseAnsi(a) == LowerCaseAnsi(b);
}

}  // namespace vermilax
