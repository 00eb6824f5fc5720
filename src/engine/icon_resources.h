#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/md5.h"
#include "engine/resource_tree.h"
#include "platform/files.h"

namespace vermilax {

// The key of an icon signature ("rico.c"): the MD5 of a program's main icon
// images, concatenated in icon-group order, and their total size.
struct IconDigest {
  Digest digest{};
  int32_t size = 0;
};

// The icon digest of a file: its first icon group (ResourceTree::
// FindFirstGroupIcon), then for each group entry in order the first
// BytesInRes bytes of icon resource Id (type 3), when that resource exists and
// holds that many bytes; entries whose icon is missing are skipped. Only image
// bytes are hashed, so group headers and entries (colour counts, sizes) do not
// change the digest. None when the file has no readable resource tree or icon
// group, the group cannot hold its entries, a read fails, or the images
// together reach 2 GiB.
std::optional<IconDigest> ComputeIconDigest(const std::string& fileName);
std::optional<IconDigest> ComputeIconDigest(std::unique_ptr<platform::File> file);
std::optional<IconDigest> ComputeIconDigest(ResourceTree& resources);

}  // namespace vermilax
