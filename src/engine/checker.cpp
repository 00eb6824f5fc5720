// Construction and loading of the signature sets.
#include "engine/checker.h"

#include <array>
#include <string_view>

#include "env/file_helpers.h"
#include "platform/files.h"

namespace vermilax {
namespace {

constexpr std::array<std::string_view, 8> kGeneralPackers = {"mew", "mslrh", "ps",    "rlpack",
                                                             "yoda", "npack", "xpack", "psign"};
constexpr std::array<std::string_view, 3> kSuspiciousPackers = {"ascrypt", "execrypt", "upack"};

template <size_t N>
bool InTable(const std::array<std::string_view, N>& table, const std::string& name) {
  for (std::string_view entry : table) {
    if (entry == name) return true;
  }
  return false;
}

std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

bool IsGeneralPackerName(const std::string& setName) { return InTable(kGeneralPackers, setName); }
bool IsSuspiciousPackerName(const std::string& setName) { return InTable(kSuspiciousPackers, setName); }

Checker::Checker(bool pauseBeforeAnalysis) : pause_(pauseBeforeAnalysis) {}

void Checker::Notify(const std::string& bareName) {
  if (on_database_loading_) on_database_loading_(*this, bareName);
}

bool Checker::DatabaseExists(const std::string& name) const { return IsExistingFile(DatabasePath(name)); }

void Checker::LoadDatabases(const std::string& folder) {
  database_folder_ = folder;
  // File names are appended directly, so the folder must end with a separator.
  if (!folder.empty() && folder.back() != '/' && folder.back() != platform::PathSeparator())
    database_folder_ += platform::PathSeparator();
  if (DatabaseExists("heur.b")) {
    Notify("heur.b");
    heuristics_.Load(DatabasePath("heur.b"));
  }
  if (DatabaseExists("md.c")) {
    Notify("md.c");
    ReloadMd5Databases();
  }
  if (DatabaseExists("rico.c")) {
    Notify("rico.c");
    icon_signatures_.Load(DatabasePath("rico.c"));
  }
  if (DatabaseExists("wl.c")) {
    Notify("wl.c");
    ReloadWhiteList();
  }
  LoadPackerSets();
}

void Checker::LoadPackerSets() {
  // Names first, in the order the listing returns them: a loader that throws
  // then never unwinds through the listing.
  std::vector<std::string> names;
  platform::ListFolder(database_folder_, "*.z", [&](const platform::FolderEntry& entry) {
    names.push_back(entry.name);
    return true;
  });
  for (const std::string& name : names) {
    Notify(name);
    packer_sets_.push_back(std::make_unique<PackerSignature>());
    PackerSignature& set = *packer_sets_.back();
    set.SetName(WithoutExtension(name));
    set.Load(DatabasePath(name));
  }
}

bool Checker::HasDeepScanDatabases() const {
  return section_signatures_.Count() > 1 || deep_signatures_.Count() > 1;
}

void Checker::LoadDeepScanDatabases() {
  ReloadSectionSignatures();
  ReloadDeepSignatures();
}

void Checker::ReloadMd5Databases() {
  md5_main_.Load(DatabasePath("md.c"));
  if (!DatabaseExists("amd.c")) return;
  try {
    md5_add_on_.Load(DatabasePath("amd.c"));
  } catch (const std::exception&) {
    // A damaged add-on database is dropped; the next update brings a new one.
    platform::RemoveFile(DatabasePath("amd.c"));
  }
}

void Checker::ReloadWhiteList() {
  if (!DatabaseExists("wl.c")) return;
  try {
    white_list_.Load(DatabasePath("wl.c"));
  } catch (...) {
    white_list_index_.Rebuild(white_list_);
    throw;
  }
  white_list_index_.Rebuild(white_list_);
}

void Checker::ReloadSectionSignatures() {
  if (DatabaseExists("smd.c")) section_signatures_.Load(DatabasePath("smd.c"));
}

void Checker::ReloadDeepSignatures() {
  if (DatabaseExists("vs.c")) deep_signatures_.Load(DatabasePath("vs.c"));
}

int32_t Checker::StrongSignatureCount() const {
  return md5_main_.Count() + md5_add_on_.Count() + icon_signatures_.Count();
}

int32_t Checker::HeaderSignatureCount() const {
  int32_t total = 0;
  for (const auto& set : packer_sets_) total += set->Count();
  return total;
}

}  // namespace vermilax
