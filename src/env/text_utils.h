#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vermilax {

// Removes every character with a code from 0 to 32 at both ends.
std::string TrimText(std::string_view text);

// Clears `list`, cuts `text` at every `separator`, trims each piece and keeps
// only the non-empty ones (so later fields move forward over empty ones).
void SplitString(char separator, std::string_view text, std::vector<std::string>& list);
// SplitString without copies: the fields are views into `text`.
void SplitStringViews(char separator, std::string_view text, std::vector<std::string_view>& list);

// Drops switches from a command line: everything from the first '/', then
// everything from the first " -", trimming after each cut.
std::string StripCommandArguments(std::string_view commandLine);

// Token `n` (0 = first) of a command line split the way the system splits a
// program's own command line; empty when there are fewer tokens.
std::string GetCommandLineParam(std::string_view commandLine, int n);

// Value of exactly two hexadecimal digits 0-9, A-F (upper case only); 0 for anything else.
uint8_t HexPairToByte(std::string_view pair);

// The little-endian unsigned 32-bit number at `p` (four readable bytes).
uint32_t ReadUInt32LE(const void* p);

// The parts in order with `separator` between them.
std::string JoinText(const std::vector<std::string>& parts, char separator);

// Every byte XOR `key`; applying it twice restores the input.
std::string XorString(std::string_view data, uint8_t key);

// Tells whether a byte starts a double-byte character in the code page in use.
using LeadBytePredicate = bool (*)(uint8_t);

// Text after the last backslash or colon, or the whole text when there is none.
// A backslash that is the second byte of a double-byte character does not count;
// the system's ANSI code page decides which bytes lead such characters.
std::string ExtractNameFromPath(std::string_view path);
std::string ExtractNameFromPath(std::string_view path, LeadBytePredicate isLeadByte);

// Text after the last '/', or the whole text when there is none.
std::string ExtractUrlFileName(std::string_view url);

// Integer conversion of database fields: optional sign, then decimal digits,
// or hexadecimal digits after "$" or "0x". Decimal values must fit a signed
// 32-bit number; hexadecimal ones may use all 32 bits (as two's complement).
// Throws std::invalid_argument on malformed text and on values that do not fit.
int32_t StrToInt(std::string_view text);

}  // namespace vermilax
