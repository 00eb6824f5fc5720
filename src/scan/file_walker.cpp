#include "scan/file_walker.h"

#include <exception>
#include <set>

#include "env/ansi_case.h"

namespace vermilax {
namespace {

constexpr uint32_t kHiddenSystem = platform::kAttrHidden | platform::kAttrSystem;

// Pieces of a ";"-joined list, empty ones left out.
std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) pieces.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

}  // namespace

bool MatchesWildcard(std::string_view mask, std::string_view name) {
  // Greedy match that backtracks only to the last star: linear in practice and
  // never deeper than one level, whatever the mask.
  size_t m = 0, n = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

FileWalker::FileWalker()
    : FileWalker(
          [](const std::string& folder, const std::function<bool(const platform::FolderEntry&)>& visit) {
            return platform::ListFolder(folder, "*", visit);
          },
          platform::IdentifyFolder, platform::PathSeparator()) {}

FileWalker::FileWalker(ListFunction list, IdentifyFunction identify, char separator)
    : list_(std::move(list)), identify_(std::move(identify)), separator_(separator) {
  SetMasks(kScanFileMasks);
}

void FileWalker::SetMasks(std::string_view masks) {
  masks_.clear();
  for (const std::string& mask : SplitList(masks)) masks_.push_back(LowerCaseAnsi(mask));
}

bool FileWalker::MatchesAnyMask(std::string_view name) const {
  const std::string lower = LowerCaseAnsi(name);
  for (const std::string& mask : masks_) {
    if (MatchesWildcard(mask, lower)) return true;
  }
  return false;
}

std::string FileWalker::Join(const std::string& folder, const std::string& name) const {
  if (!folder.empty() && folder.back() == separator_) return folder + name;
  return folder + separator_ + name;
}

WalkOutcome FileWalker::Walk() {
  failed_folder_.clear();
  failure_code_ = platform::kErrorSuccess;
  for (const std::string& root : SplitList(roots_)) {
    const WalkOutcome outcome = WalkRoot(root);
    if (outcome != WalkOutcome::Completed) return outcome;
  }
  return WalkOutcome::Completed;
}

WalkOutcome FileWalker::WalkRoot(const std::string& root) {
  // Folders already walked under this root: a link back up the tree (or to a
  // sibling) must not make the walk go round forever. The set is per root, so
  // roots that overlap are each walked in full, as listed.
  std::set<platform::FolderIdentity> walked;
  std::vector<Pending> stack{{root, true}};
  std::vector<std::string> subfolders;
  while (!stack.empty()) {
    Pending folder = std::move(stack.back());
    stack.pop_back();
    if (identify_) {
      std::optional<platform::FolderIdentity> identity = identify_(folder.path);
      if (identity && !walked.insert(*identity).second) continue;
    }
    subfolders.clear();
    bool aborted = false;
    const uint32_t status = ListOne(folder.path, subfolders, aborted);
    if (aborted) return WalkOutcome::Aborted;
    const bool empty = status == platform::kErrorSuccess || status == platform::kErrorFileNotFound ||
                       status == platform::kErrorAccessDenied ||
                       // A subfolder seen in its parent's listing that is gone (or was
                       // replaced by a file) by now, or whose path grew too long for
                       // the system, is skipped; only a root that cannot be listed
                       // ends the walk.
                       (!folder.is_root && (status == platform::kErrorPathNotFound ||
                                            status == platform::kErrorFilenameExcedRange));
    if (!empty) {
      failed_folder_ = folder.path;
      failure_code_ = status;
      return WalkOutcome::Failed;
    }
    // Reversed onto the stack, so the first one found is walked next.
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) stack.push_back({std::move(*it), false});
  }
  return WalkOutcome::Completed;
}

uint32_t FileWalker::ListOne(const std::string& folder, std::vector<std::string>& subfolders, bool& aborted) {
  // A callback's exception is carried past the listing, which then releases its
  // search handle normally, and raised again afterwards.
  std::exception_ptr failure;
  const uint32_t status = list_(folder, [&](const platform::FolderEntry& entry) {
    if (entry.name.empty() || entry.name == "." || entry.name == "..") return true;
    try {
      if (entry.attributes & platform::kAttrDirectory) {
        if ((entry.attributes & kHiddenSystem) == kHiddenSystem) return true;
        std::string path = Join(folder, entry.name);
        if (on_folder_) on_folder_(path);
        subfolders.push_back(std::move(path));
      } else if (MatchesAnyMask(entry.name)) {
        if (on_file_ && on_file_(Join(folder, entry.name)) == WalkAction::Abort) {
          aborted = true;
          return false;
        }
      }
      return true;
    } catch (...) {
      failure = std::current_exception();
      return false;
    }
  });
  if (failure) std::rethrow_exception(failure);
  return status;
}

}  // namespace vermilax
