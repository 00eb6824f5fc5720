#include <sys/stat.h>

#include "platform/folder_identity.h"

namespace vermilax::platform {

std::optional<FolderIdentity> IdentifyFolder(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FolderIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

}  // namespace vermilax::platform
