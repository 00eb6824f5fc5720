#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vermilax::platform {

// What makes a folder the same folder whatever path reaches it: the volume and
// the file index on it. Two paths with equal identities name one folder (a link,
// a junction or a mount point may lead to a folder already seen).
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
  friend auto operator<=>(const FolderIdentity&, const FolderIdentity&) = default;
};

// The identity of the folder at `path`, links followed; nullopt when the path
// names no folder or the system cannot tell.
std::optional<FolderIdentity> IdentifyFolder(const std::string& path);

}  // namespace vermilax::platform
