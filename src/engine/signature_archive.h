#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vermilax {

// Every byte of an archive file is a byte of a ZIP archive XOR this key.
inline constexpr uint8_t kArchiveKey = 0x9E;
// The two entries of an archive: the database text and its version text.
inline constexpr char kArchiveDbEntry[] = "DB";
inline constexpr char kArchiveVersionEntry[] = "ver";
// Largest text an entry may hold. Real databases take a few megabytes; the
// limit keeps a small, highly compressed file from expanding into gigabytes
// of lines.
inline constexpr uint32_t kMaxArchiveTextSize = 64u << 20;

// Reads the "DB" and "ver" entries of a scrambled archive held in memory.
// False on any failure, and then `db` and `version` are left unchanged.
// Entry names are matched without regard to letter case.
bool ParseSignatureArchive(std::string_view scrambled, std::string& db, std::string& version);

// As ParseSignatureArchive, for an archive file. Never throws.
bool ReadSignatureArchiveEntries(const std::string& fileName, std::string& db, std::string& version);

// Clears `lines` and fills it with the lines of the archive's "DB" text, and
// `version` with its "ver" text. Every failure leaves `lines` empty and
// `version` unchanged and is otherwise silent: an unreadable database is an
// empty set. Works in memory, so no temporary file is ever created.
void ReadSignatureArchive(const std::string& fileName, std::vector<std::string>& lines, std::string& version);

// Clears `lines` and adds one entry per line of `text`; lines end at CR LF,
// CR or LF. An empty line gives an empty entry; a final line end adds none.
void SplitLines(std::string_view text, std::vector<std::string>& lines);

// Calls `visit` with each line of `text` as SplitLines cuts them, without copies.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      visit(text.substr(start));
      break;
    }
    visit(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

// The number of lines SplitLines would give.
size_t CountLines(std::string_view text);

// The scrambled bytes of an archive holding `db` and `version`, deflated at
// the strongest level or stored. Throws std::length_error when a text is
// larger than kMaxArchiveTextSize, since no reader would accept it.
std::string BuildSignatureArchive(std::string_view db, std::string_view version, bool deflate = true);

// Writes an archive file through a temporary file beside it that then
// replaces the target, so a failure never leaves a half-written archive.
bool WriteSignatureArchive(const std::string& fileName, std::string_view db, std::string_view version,
                           bool deflate = true);

}  // namespace vermilax
