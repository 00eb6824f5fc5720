#include <windows.h>

#include "platform/letter_case.h"

namespace vermilax::platform {
namespace {

// CharLowerBuffA and CharUpperBuffA take a DWORD count; convert in slices.
template <typename Convert>
void ConvertInSlices(std::string& text, Convert convert) {
  const size_t kSlice = 1u << 30;
  for (size_t done = 0; done < text.size(); done += kSlice) {
    size_t count = text.size() - done < kSlice ? text.size() - done : kSlice;
    convert(text.data() + done, DWORD(count));
  }
}

}  // namespace

void LowerCaseInPlace(std::string& text) { ConvertInSlices(text, CharLowerBuffA); }

void UpperCaseInPlace(std::string& text) { ConvertInSlices(text, CharUpperBuffA); }

}  // namespace vermilax::platform
