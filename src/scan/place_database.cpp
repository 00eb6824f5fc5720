#include "scan/place_database.h"

#include <algorithm>
#include <limits>

#include "engine/signature_archive.h"
#include "env/file_helpers.h"
#include "env/folders.h"
#include "env/text_utils.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text_encoding.h"

namespace vermilax {
namespace {

constexpr int kCsidlFavorites = 0x06;
constexpr size_t kMinParsedLength = 9;  // shorter lines are not parsed
// The longest path a system accepts. Only the first 255 characters of an
// expanded path are kept, and expansion can multiply a text's length, so
// anything beyond this is dropped before expanding.
constexpr size_t kMaxPathSourceLength = 32767;

std::string WithoutTrailingSeparator(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// "C:" of "C:\WINDOWS", "\\server\share" of a network path; empty otherwise.
std::string DrivePart(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path;
    size_t share_end = path.find('\\', server_end + 1);
    return path.substr(0, share_end);
  }
  return std::string();
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;  // an unnamed variable would match everywhere, forever
  size_t at = text.find(from);
  while (at != std::string::npos) {
    text.replace(at, from.size(), to);
    at = text.find(from, at + to.size());
  }
}

}  // namespace

PlaceVariables MakePlaceVariables(const std::function<std::string(int csidl)>& specialFolder,
                                  const std::string& tempDir) {
  const std::string profile = specialFolder(platform::kCsidlProfile);
  const std::string program_files = specialFolder(platform::kCsidlProgramFiles);
  const std::string windows = specialFolder(platform::kCsidlWindows);
  const std::string temp = WithoutTrailingSeparator(tempDir);
  return PlaceVariables{{{
      {"%mydoc%", specialFolder(platform::kCsidlPersonal)},
      {"%profile%", profile},
      {"%programfiles%", program_files},
      {"%systemdir%", specialFolder(platform::kCsidlSystem)},
      {"%windir%", windows},
      {"%commondir%", specialFolder(platform::kCsidlProgramFilesCommon)},
      {"%appdata%", specialFolder(platform::kCsidlAppData)},
      {"%desktop%", specialFolder(platform::kCsidlDesktop)},
      {"%favorites%", specialFolder(kCsidlFavorites)},
      {"%userprofile%", profile},
      {"%temp%", temp},
      {"%tempdir%", temp},
      {"%startmenu%", specialFolder(platform::kCsidlStartMenu)},
      {"%program%", program_files},
      {"%sysdrive%", DrivePart(windows)},
  }}};
}

PlaceVariables SystemPlaceVariables() {
  return MakePlaceVariables([](int csidl) { return WithoutTrailingSeparator(GetSpecialFolderPath(csidl)); },
                            GetTempDir());
}

const PlaceVariables& CurrentPlaceVariables() {
  static const PlaceVariables variables = SystemPlaceVariables();
  return variables;
}

std::string ExpandPlaceVariables(std::string_view text) { return ExpandPlaceVariables(text, CurrentPlaceVariables()); }

std::string ExpandPlaceVariables(std::string_view text, const PlaceVariables& variables) {
  std::string result(text);
  for (const auto& [name, value] : variables.Values) ReplaceAll(result, name, value);
  return result;
}

PlaceDatabase::PlaceDatabase() : PlaceDatabase(CurrentPlaceVariables()) {}

PlaceDatabase::PlaceDatabase(PlaceVariables variables) : variables_(std::move(variables)) {}

void PlaceDatabase::Clear() {
  items_.clear();
  count_ = 0;
}

void PlaceDatabase::Load(const std::string& fileName) {
  Clear();
  Append(fileName);
}

void PlaceDatabase::Append(const std::string& fileName) {
  std::vector<std::string> lines;
  std::string version;  // read with the archive, not needed afterwards
  ReadSignatureArchive(fileName, lines, version);
  AppendLines(lines);
}

void PlaceDatabase::AppendLines(const std::vector<std::string>& lines) {
  // Slots are numbered in 32 bits; lines beyond that could not be reached.
  const size_t room = size_t(std::numeric_limits<int32_t>::max() - count_);
  const size_t added = std::min(lines.size(), room);
  for (size_t i = 0; i < added; ++i) {
    if (lines[i].size() < kMinParsedLength) continue;
    items_.emplace_back(count_ + int32_t(i), ParseLine(lines[i]));
  }
  count_ += int32_t(added);
}

PlaceRec PlaceDatabase::ParseLine(const std::string& line) const {
  std::vector<std::string> fields;
  SplitString('|', line, fields);
  // A line with fewer fields keeps what it has.
  PlaceRec record;
  if (fields.size() < 1) return record;
  record.IsFile = fields[0] == "file" ? 1 : 0;
  if (fields.size() < 2) return record;
  record.Name = fields[1].substr(0, kMaxNameLength);
  if (fields.size() < 3) return record;
  std::string path = platform::Utf8ToAnsi(std::string_view(fields[2]).substr(0, kMaxPathSourceLength));
  if (record.IsFile) path = ExpandPlaceVariables(path, variables_);
  if (path.size() > kMaxPathLength) path.resize(kMaxPathLength);
  record.Path = std::move(path);
  return record;
}

const PlaceRec& PlaceDatabase::Items(int32_t index) const {
  static const PlaceRec kEmpty;
  auto it = std::lower_bound(items_.begin(), items_.end(), index,
                             [](const std::pair<int32_t, PlaceRec>& item, int32_t slot) { return item.first < slot; });
  return it != items_.end() && it->first == index ? it->second : kEmpty;
}

void CheckPlaces(const PlaceDatabase& database, const PlaceChecks& checks) {
  for (int32_t i = 0; i < database.Count(); ++i) {
    const PlaceRec& place = database.Items(i);
    if (place.IsFile != 1) continue;
    const bool exists = checks.isExistingFile ? checks.isExistingFile(place.Path) : IsExistingFile(place.Path);
    if (!exists) continue;
    bool cleared = false;
    try {
      cleared = (checks.isWhiteListed && checks.isWhiteListed(place.Path)) ||
                (checks.isTrusted && checks.isTrusted(place.Path));
    } catch (...) {
      cleared = true;  // undecidable: skipped, see the declaration
    }
    if (!cleared && checks.onFinding) checks.onFinding(place.Name, place.Path);
  }
}

}  // namespace vermilax
