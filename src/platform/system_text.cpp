#include "platform/system_text.h"

#include <algorithm>
#include <limits>

namespace vermilax::platform {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const char* blanks = " \t\r";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Calls `visit` with every line (without its line end) until it returns true.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (visit(line)) return;
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// os-release values follow shell quoting: "..." with backslash escapes, '...' literal.
std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
    return std::string(value.substr(1, value.size() - 2));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      out += value[i];
    }
    return out;
  }
  return std::string(value);
}

}  // namespace

std::optional<std::string> ColonField(std::string_view text, std::string_view key) {
  std::optional<std::string> found;
  ForEachLine(text, [&](std::string_view line) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || TrimBlanks(line.substr(0, colon)) != key) return false;
    found = std::string(TrimBlanks(line.substr(colon + 1)));
    return true;
  });
  return found;
}

std::optional<std::string> OsReleaseField(std::string_view text, std::string_view key) {
  std::optional<std::string> found;
  ForEachLine(text, [&](std::string_view line) {
    line = TrimBlanks(line);
    size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.substr(0, equals) != key) return false;
    found = Unquote(TrimBlanks(line.substr(equals + 1)));
    return true;
  });
  return found;
}

uint32_t MemTotalBytes(std::string_view meminfo) {
  std::optional<std::string> field = ColonField(meminfo, "MemTotal");
  if (!field) return 0;
  std::string_view value = *field;
  uint64_t kib = 0;
  size_t digits = 0;
  constexpr uint64_t kCap = std::numeric_limits<uint32_t>::max();
  while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9') {
    // Saturate early: the result is capped to 32 bits anyway.
    kib = std::min<uint64_t>(kib * 10 + (value[digits] - '0'), kCap);
    ++digits;
  }
  if (digits == 0) return 0;
  std::string_view unit = TrimBlanks(value.substr(digits));
  uint64_t bytes = kib;
  if (unit == "kB") bytes = kib * 1024;
  else if (!unit.empty()) return 0;
  return static_cast<uint32_t>(std::min(bytes, kCap));
}

uint32_t KernelPatchLevel(std::string_view release) {
  uint32_t numbers[3] = {0, 0, 0};
  size_t index = 0, pos = 0;
  while (index < 3) {
    size_t start = pos;
    uint64_t value = 0;
    while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9') {
      value = std::min<uint64_t>(value * 10 + (release[pos] - '0'), std::numeric_limits<uint32_t>::max());
      ++pos;
    }
    if (pos == start) return 0;
    numbers[index++] = static_cast<uint32_t>(value);
    if (index == 3) break;
    if (pos >= release.size() || release[pos] != '.') return 0;
    ++pos;
  }
  return numbers[2];
}

}  // namespace vermilax::platform
