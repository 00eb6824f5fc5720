#include <windows.h>

#include <limits>

#include "platform/text_encoding.h"

namespace vermilax::platform {

std::string Utf8ToAnsi(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > size_t(std::numeric_limits<int>::max() / 2)) return std::string();
  const int length = int(utf8.size());
  // Both steps ask for the size first; neither result can exceed twice the input.
  int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::wstring wide(size_t(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wide_length);
  int ansi_length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (ansi_length <= 0) return std::string();
  std::string ansi(size_t(ansi_length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, ansi.data(), ansi_length, nullptr, nullptr);
  return ansi;
}

}  // namespace vermilax::platform
