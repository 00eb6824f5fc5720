#include "scan/scan_roots.h"

#include "env/folders.h"
#include "env/text_utils.h"
#include "platform/shell.h"

namespace vermilax {

std::vector<std::string> StandardScanFolders() {
  return {
      GetSpecialFolderPath(platform::kCsidlSystem),
      GetSpecialFolderPath(platform::kCsidlAppData),
      GetSpecialFolderPath(platform::kCsidlDesktopDirectory),
      GetSpecialFolderPath(platform::kCsidlLocalAppData),
      GetSpecialFolderPath(platform::kCsidlInternetCache),
      GetTempDir(),
      GetProgramFilesDir(),
      GetSpecialFolderPath(platform::kCsidlCommonAppData),
  };
}

std::string StandardScanRoots() { return JoinRoots(StandardScanFolders()); }

std::string JoinRoots(const std::vector<std::string>& folders) { return JoinText(folders, ';'); }

}  // namespace vermilax
