#pragma once
#include <string>
#include <string_view>

namespace vermilax::platform {

// UTF-8 text converted to the system's ANSI code page; characters the code page
// lacks become the system's default character and malformed sequences the
// replacement character. Native builds keep the bytes as they are.
std::string Utf8ToAnsi(std::string_view utf8);
// Text in the system's ANSI code page converted to UTF-8, for output that must
// be UTF-8 (JSON). Native builds keep the bytes as they are.
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace vermilax::platform
