#include <windows.h>

#include <limits>

#include "platform/text_encoding.h"

namespace vermilax::platform {

namespace {

// From one code page to another through UTF-16. Both steps ask for the size
// first; neither result can exceed twice the input.
std::string Convert(std::string_view text, UINT from, UINT to) {
  if (text.empty() || text.size() > size_t(std::numeric_limits<int>::max() / 2)) return std::string();
  const int length = int(text.size());
  int wide_length = MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::wstring wide(size_t(wide_length), L'\0');
  MultiByteToWideChar(from, 0, text.data(), length, wide.data(), wide_length);
  int out_length = WideCharToMultiByte(to, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (out_length <= 0) return std::string();
  std::string out(size_t(out_length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_length, out.data(), out_length, nullptr, nullptr);
  return out;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }

std::string AnsiToUtf8(std::string_view ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

}  // namespace vermilax::platform
