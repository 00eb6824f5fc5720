#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/heuristic.h"
#include "engine/judged_file_cache.h"
#include "engine/md5_signature.h"
#include "engine/packer_signature.h"
#include "engine/section_signature.h"
#include "engine/verdict.h"
#include "engine/virus_signature.h"
#include "engine/white_list_index.h"

namespace vermilax {

class PEScannerEx;

struct CheckResult {
  Verdict verdict = Verdict::Clean;
  std::string threatName;  // empty for Clean
  int32_t fileSize = 0;     // as a directory search reports it: -1 at 2 GiB or more
  std::string digestText;   // 32 upper-case hex digits, or empty
};

// The verdict engine: owns every signature set, loads them from the database
// folder, judges one file at a time and keeps the lines of the current scan log.
class Checker {
 public:
  using DatabaseLoadingHandler = std::function<void(Checker& checker, const std::string& bareName)>;

  // `pauseBeforeAnalysis`: give up the processor for 1 ms before each analysis,
  // so a long scan leaves the desktop responsive; batch tools turn it off.
  explicit Checker(bool pauseBeforeAnalysis = true);
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  void SetPauseBeforeAnalysis(bool on) { pause_ = on; }
  void SetOnDatabaseLoading(DatabaseLoadingHandler handler) { on_database_loading_ = std::move(handler); }

  // Loads "heur.b", "md.c" (and "amd.c"), "rico.c", "wl.c" and every "*.z" from
  // `folder` (a separator is added when it lacks one). Throws what a set's loader throws
  // for a malformed line, except for "amd.c".
  void LoadDatabases(const std::string& folder);
  bool HasDeepScanDatabases() const;
  void LoadDeepScanDatabases();
  void ReloadMd5Databases();
  void ReloadWhiteList();
  void ReloadSectionSignatures();
  void ReloadDeepSignatures();
  int32_t AddOnMd5FileSize() const { return md5_add_on_.DatabaseFileSize(); }
  int32_t WhiteListFileSize() const { return white_list_.DatabaseFileSize(); }
  int32_t StrongSignatureCount() const;
  int32_t HeaderSignatureCount() const;
  // One line per set, each ending in a single CR.
  std::string GetDatabaseStatistics() const;

  // Judges one file. Never throws: a file that cannot be handled is Error.
  CheckResult CheckFile(const std::string& path);
  // Throws std::runtime_error when the file cannot be opened.
  bool IsFileWhiteListed(const std::string& path) const;
  bool IsWhiteListed(int32_t size, const Digest& digest) const;
  // The name a signature gives the analysed file, or empty.
  std::string MatchSignatures(PEScannerEx& scanner) const;

  // Forgets the judged files, clears the log and writes its twelve header lines.
  void StartLog();
  // Appends one whole line; safe from any thread.
  void AddLogLine(const std::string& line);
  // A copy of the log taken under the lock.
  std::vector<std::string> LogLines() const;

  const std::string& DatabaseFolder() const { return database_folder_; }
  const std::vector<std::unique_ptr<PackerSignature>>& PackerSets() const { return packer_sets_; }
  const Heuristic& Heuristics() const { return heuristics_; }
  const VirusSignature& DeepSignatures() const { return deep_signatures_; }
  const MD5Signature& Md5Main() const { return md5_main_; }
  const MD5Signature& Md5AddOn() const { return md5_add_on_; }
  const MD5Signature& IconSignatures() const { return icon_signatures_; }
  const MD5Signature& WhiteList() const { return white_list_; }
  const SecMD5Signature& SectionSignatures() const { return section_signatures_; }
  const JudgedFileCache& CheckedFiles() const { return checked_files_; }
  JudgedFileCache& CheckedFiles() { return checked_files_; }

 private:
  CheckResult Judge(const std::string& path);
  void Notify(const std::string& bareName);
  bool DatabaseExists(const std::string& name) const;
  std::string DatabasePath(const std::string& name) const { return database_folder_ + name; }
  void LoadPackerSets();

  std::vector<std::unique_ptr<PackerSignature>> packer_sets_;
  Heuristic heuristics_;
  VirusSignature deep_signatures_;
  MD5Signature md5_main_;
  MD5Signature md5_add_on_;
  MD5Signature icon_signatures_;
  MD5Signature white_list_;
  WhiteListIndex white_list_index_;
  SecMD5Signature section_signatures_;
  std::string database_folder_;
  DatabaseLoadingHandler on_database_loading_;
  JudgedFileCache checked_files_;
  mutable std::mutex log_mutex_;
  std::vector<std::string> log_lines_;
  bool pause_;
};

// "HEUR.General."/"HEUR.Suspicious." names: whether a packer set's name (letter
// case counts) is one of the general or suspicious packers.
bool IsGeneralPackerName(const std::string& setName);
bool IsSuspiciousPackerName(const std::string& setName);

}  // namespace vermilax
