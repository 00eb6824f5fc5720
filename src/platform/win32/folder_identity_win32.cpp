#include <windows.h>

#include "platform/folder_identity.h"

namespace vermilax::platform {

std::optional<FolderIdentity> IdentifyFolder(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // Backup semantics let CreateFile open a folder; without FILE_FLAG_OPEN_REPARSE_POINT
  // a junction is followed, so it yields the identity of its target.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  return FolderIdentity{info.dwVolumeSerialNumber,
                        (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace vermilax::platform
