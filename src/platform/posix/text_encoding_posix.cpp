#include "platform/text_encoding.h"

namespace vermilax::platform {

// Native builds treat text as UTF-8 throughout, so there is nothing to convert.
std::string Utf8ToAnsi(std::string_view utf8) { return std::string(utf8); }
std::string AnsiToUtf8(std::string_view ansi) { return std::string(ansi); }

}  // namespace vermilax::platform
