#include "platform/letter_case.h"

namespace vermilax::platform {

// Native text carries no code page; only ASCII letters have a case here.
void LowerCaseInPlace(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
}

void UpperCaseInPlace(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
}

}  // namespace vermilax::platform
