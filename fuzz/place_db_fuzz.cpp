// Fuzz target: arbitrary bytes as the database text of the place database,
// loaded through a real archive file the way the program loads "pl.a".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/signature_archive.h"
#include "platform/files.h"
#include "scan/place_database.h"

namespace {

// A name reserved once per process; the file under it exists only while one
// input is loaded, so no run (not even one ended by the fuzzer) leaves it behind.
const std::string& ArchivePath() {
  static const std::string path = [] {
    std::string p = vermilax::platform::CreateUniqueTempFile(vermilax::platform::TempFolder(), "vxp");
    if (p.empty()) std::abort();
    return p;
  }();
  return path;
}

// Fixed folder values, so runs do not depend on the machine's folders.
const vermilax::PlaceVariables& Variables() {
  static const vermilax::PlaceVariables variables = vermilax::MakePlaceVariables(
      [](int csidl) { return csidl == 0x24 ? std::string("C:\\WINDOWS") : "C:\\F" + std::to_string(csidl); },
      "C:\\TEMP\\");
  return variables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Stored entries keep each run fast; the archive format is fuzzed separately.
  if (!platform::WriteWholeFile(ArchivePath(), BuildSignatureArchive(text, "fuzz", false))) std::abort();
  PlaceDatabase db(Variables());
  db.Load(ArchivePath());
  platform::RemoveFile(ArchivePath());

  std::vector<std::string> lines;
  SplitLines(text, lines);
  if (db.Count() != int32_t(lines.size())) std::abort();
  for (int32_t i = -1; i <= db.Count(); ++i) {
    const PlaceRec& record = db.Items(i);
    if (record.Name.size() > PlaceDatabase::kMaxNameLength || record.Path.size() > PlaceDatabase::kMaxPathLength ||
        record.IsFile > 1)
      std::abort();
  }
  // The place check must cope with whatever was loaded.
  PlaceChecks checks;
  checks.isExistingFile = [](const std::string& path) { return path.size() % 2 == 0; };
  checks.isWhiteListed = [](const std::string& path) { return path.size() % 3 == 0; };
  checks.onFinding = [](const std::string& name, const std::string&) {
    if (name.size() > PlaceDatabase::kMaxNameLength) std::abort();
  };
  CheckPlaces(db, checks);
  return 0;
}
