#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vermilax {

// One line of the place database.
struct PlaceRec {
  std::string Name;    // the malware's name, at most 64 characters
  uint8_t IsFile = 0;  // 1 for a file place ("file" as the kind word)
  std::string Path;    // at most 255 characters; variables expanded for file places
};

// The place variables ("%appdata%" ...) with their values, in the order they
// are replaced.
struct PlaceVariables {
  static constexpr size_t kCount = 15;
  std::array<std::pair<std::string, std::string>, kCount> Values;
};

// The values of the running system: the user's folders (no trailing separator),
// the temporary folder and the drive of the Windows folder.
PlaceVariables SystemPlaceVariables();
// The values for the functions below.
PlaceVariables MakePlaceVariables(const std::function<std::string(int csidl)>& specialFolder,
                                  const std::string& tempDir);
// SystemPlaceVariables, computed on first use.
const PlaceVariables& CurrentPlaceVariables();

// Replaces every variable in `text`, one variable after the other in table
// order; letter case counts.
std::string ExpandPlaceVariables(std::string_view text);
std::string ExpandPlaceVariables(std::string_view text, const PlaceVariables& variables);

// The paths where known malware puts itself, read from "pl.a". One slot per
// line of the database; lines of 8 characters or fewer leave theirs empty.
class PlaceDatabase {
 public:
  static constexpr size_t kMaxNameLength = 64;
  static constexpr size_t kMaxPathLength = 255;

  PlaceDatabase();  // expands with CurrentPlaceVariables
  explicit PlaceDatabase(PlaceVariables variables);

  void Clear();
  void Load(const std::string& fileName);
  // Adds the lines of a signature archive after the existing slots; an archive
  // that cannot be read adds nothing.
  void Append(const std::string& fileName);
  void AppendLines(const std::vector<std::string>& lines);

  int32_t Count() const { return count_; }
  // The record in slot `index`; an empty record for a skipped line or an index
  // out of range.
  const PlaceRec& Items(int32_t index) const;

 private:
  PlaceRec ParseLine(const std::string& line) const;

  PlaceVariables variables_;
  // Only parsed lines are stored, by slot, so that a database of empty lines
  // costs nothing per line.
  std::vector<std::pair<int32_t, PlaceRec>> items_;
  int32_t count_ = 0;
};

// What CheckPlaces asks of the checker and the trust check.
struct PlaceChecks {
  std::function<bool(const std::string& path)> isExistingFile;  // IsExistingFile when empty
  std::function<bool(const std::string& path)> isWhiteListed;   // may throw
  std::function<bool(const std::string& path)> isTrusted;
  std::function<void(const std::string& name, const std::string& path)> onFinding;
};

// Reports every file place whose file exists, is not white-listed and is not
// trusted, in database order. A record whose white-list or trust test throws
// (a file that exists but cannot be read) is skipped: nothing certain can be
// said about it, and the remaining places must still be checked.
void CheckPlaces(const PlaceDatabase& database, const PlaceChecks& checks);

}  // namespace vermilax
