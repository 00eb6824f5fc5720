#pragma once
#include <string>
#include <string_view>

namespace vermilax::platform {

// UTF-8 text converted to the system's ANSI code page; characters the code page
// lacks become the system's default character and malformed sequences the
// replacement character. Native builds keep the bytes as they are.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace vermilax::platform
