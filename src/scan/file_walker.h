#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/folder_identity.h"

namespace vermilax {

// The file types a scan judges.
inline constexpr char kScanFileMasks[] = "*.exe;*.dll;*.ocx;*.scr;*.cpl;*.msi;*.drv;*.sys;*.vxd;*.wtl";

enum class WalkAction { Continue, Abort };

enum class WalkOutcome {
  Completed,  // every root walked
  Aborted,    // the file callback asked to stop
  Failed,     // a folder could not be listed; see FailedFolder and FailureCode
};

// Walks a list of root folders and reports the folders and the matching files
// in them. Per folder the entries come in the order the system lists them; the
// subfolders found are walked afterwards, depth first, in the order found.
// The walk keeps its own stack, so depth is bounded by memory, not by the
// thread's stack.
class FileWalker {
 public:
  using FolderCallback = std::function<void(const std::string& path)>;
  using FileCallback = std::function<WalkAction(const std::string& path)>;
  // Lists every entry of a folder (as platform::ListFolder with the mask "*").
  using ListFunction =
      std::function<uint32_t(const std::string& folder, const std::function<bool(const platform::FolderEntry&)>& visit)>;
  using IdentifyFunction = std::function<std::optional<platform::FolderIdentity>(const std::string& path)>;

  // Walks the real file system with kScanFileMasks.
  FileWalker();
  // Walks what `list` reports; `identify` may be empty (no folder is then
  // recognised as one already walked). `separator` joins folder and name.
  FileWalker(ListFunction list, IdentifyFunction identify, char separator);

  // Root folders joined with ";"; empty pieces are ignored.
  void SetRoots(std::string roots) { roots_ = std::move(roots); }
  const std::string& Roots() const { return roots_; }
  // Name masks joined with ";", with the wildcards * and ?.
  void SetMasks(std::string_view masks);
  void SetOnFolder(FolderCallback callback) { on_folder_ = std::move(callback); }
  void SetOnFile(FileCallback callback) { on_file_ = std::move(callback); }

  // Walks all roots. Exceptions from the callbacks end the walk and reach the caller.
  WalkOutcome Walk();

  // The folder whose listing ended the last walk, and the system's error code.
  const std::string& FailedFolder() const { return failed_folder_; }
  uint32_t FailureCode() const { return failure_code_; }

  // True when `name` matches one of the masks, without regard to letter case.
  bool MatchesAnyMask(std::string_view name) const;

 private:
  struct Pending {
    std::string path;
    bool is_root = false;
  };

  WalkOutcome WalkRoot(const std::string& root);
  // Lists one folder: reports entries, appends its subfolders to `subfolders`.
  // Returns the listing's status; sets `aborted` when the file callback asked to stop.
  uint32_t ListOne(const std::string& folder, std::vector<std::string>& subfolders, bool& aborted);
  std::string Join(const std::string& folder, const std::string& name) const;

  ListFunction list_;
  IdentifyFunction identify_;
  char separator_;
  std::string roots_;
  std::vector<std::string> masks_;  // lower case
  FolderCallback on_folder_;
  FileCallback on_file_;
  std::string failed_folder_;
  uint32_t failure_code_ = platform::kErrorSuccess;
};

// Case-sensitive wildcard match of a whole name: * stands for any run of
// characters, ? for exactly one.
bool MatchesWildcard(std::string_view mask, std::string_view name);

}  // namespace vermilax
