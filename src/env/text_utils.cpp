#include "env/text_utils.h"

#include <stdexcept>

#include "platform/codepage.h"

namespace vermilax {
namespace {

bool IsBlank(char c) { return static_cast<uint8_t>(c) <= 32; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view TrimView(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One command-line token starting at `pos`; moves `pos` past it. Quotes switch
// quoting and are dropped; a NUL ends the command line as it would in C text.
std::string NextCommandLineToken(std::string_view line, size_t& pos) {
  auto at = [&](size_t i) -> uint8_t { return i < line.size() ? static_cast<uint8_t>(line[i]) : 0; };
  for (;;) {
    while (at(pos) != 0 && at(pos) <= ' ') ++pos;
    if (at(pos) == '"' && at(pos + 1) == '"') pos += 2;
    else break;
  }
  std::string token;
  while (at(pos) > ' ') {
    if (at(pos) == '"') {
      ++pos;
      while (at(pos) != 0 && at(pos) != '"') token += static_cast<char>(at(pos++));
      if (at(pos) != 0) ++pos;
    } else {
      token += static_cast<char>(at(pos++));
    }
  }
  return token;
}

}  // namespace

std::string TrimText(std::string_view text) { return std::string(TrimView(text)); }

namespace {
template <typename List>
void SplitInto(char separator, std::string_view text, List& list) {
  list.clear();
  size_t start = 0;
  for (;;) {
    size_t cut = text.find(separator, start);
    std::string_view piece = TrimView(text.substr(start, cut == std::string_view::npos ? text.npos : cut - start));
    if (!piece.empty()) list.emplace_back(piece);
    if (cut == std::string_view::npos) break;
    start = cut + 1;
  }
}
}  // namespace

void SplitString(char separator, std::string_view text, std::vector<std::string>& list) {
  SplitInto(separator, text, list);
}

void SplitStringViews(char separator, std::string_view text, std::vector<std::string_view>& list) {
  SplitInto(separator, text, list);
}

std::string StripCommandArguments(std::string_view commandLine) {
  std::string_view text = TrimView(commandLine.substr(0, commandLine.find('/')));
  return std::string(TrimView(text.substr(0, text.find(" -"))));
}

std::string GetCommandLineParam(std::string_view commandLine, int n) {
  if (n < 0) return std::string();
  size_t pos = 0;
  for (;;) {
    std::string token = NextCommandLineToken(commandLine, pos);
    if (n == 0 || token.empty()) return token;
    --n;
  }
}

uint8_t HexPairToByte(std::string_view pair) {
  if (pair.size() != 2) return 0;
  auto upperDigit = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ? HexDigitValue(c) : -1;
  };
  int high = upperDigit(pair[0]), low = upperDigit(pair[1]);
  if (high < 0 || low < 0) return 0;
  return static_cast<uint8_t>(high * 16 + low);
}

uint32_t ReadUInt32LE(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

std::string JoinText(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

std::string XorString(std::string_view data, uint8_t key) {
  std::string result(data);
  for (char& c : result) c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
  return result;
}

std::string ExtractNameFromPath(std::string_view path) {
  return ExtractNameFromPath(path, platform::IsLeadByte);
}

std::string ExtractNameFromPath(std::string_view path, LeadBytePredicate isLeadByte) {
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    uint8_t b = static_cast<uint8_t>(path[i]);
    if (isLeadByte(b) && i + 1 < path.size()) {
      i += 2;  // the trail byte may look like a backslash; it is not one
      continue;
    }
    if (b == '\\' || b == ':') start = i + 1;
    ++i;
  }
  return std::string(path.substr(start));
}

std::string ExtractUrlFileName(std::string_view url) {
  size_t slash = url.rfind('/');
  return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

int32_t StrToInt(std::string_view text) {
  auto fail = [&] {
    std::string message(1, '\'');
    message.append(text).append("' is not a valid integer value");
    return std::invalid_argument(message);
  };
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    i += 1;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) throw fail();
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) throw fail();
    value = value * (hex ? 16 : 10) + uint64_t(digit);
    if (value > limit) throw fail();
  }
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

}  // namespace vermilax
