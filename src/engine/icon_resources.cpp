#include "engine/icon_resources.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/little_endian.h"

namespace vermilax {
namespace {

// The icon-group data: a 6-byte header (reserved, type, count) followed by
// 14-byte entries whose BytesInRes sits at 8 and the icon's Id at 12.
constexpr uint32_t kGroupHeaderSize = 6;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint32_t kEntryBytesInRes = 8;
constexpr uint32_t kEntryIconId = 12;

// Images are hashed through a buffer of this size instead of being gathered
// into one block: the same icon may be named many times, so their total size
// is not bounded by the file's.
constexpr uint32_t kHashChunk = 64 * 1024;

struct GroupEntry {
  uint32_t bytesInRes;
  uint32_t iconId;
};

std::optional<std::vector<GroupEntry>> ReadGroup(ResourceTree& resources, const ResourceData& group) {
  uint8_t header[kGroupHeaderSize];
  if (!resources.ReadData(group, 0, kGroupHeaderSize, header)) return std::nullopt;
  const uint32_t count = LoadU16LE(header + 4);
  // At most 65535 entries, and only when the group's data holds them all.
  std::vector<uint8_t> raw(size_t(count) * kGroupEntrySize);
  if (!resources.ReadData(group, kGroupHeaderSize, uint32_t(raw.size()), raw.data())) return std::nullopt;
  std::vector<GroupEntry> entries(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = raw.data() + size_t(i) * kGroupEntrySize;
    entries[i] = {LoadU32LE(entry + kEntryBytesInRes), LoadU16LE(entry + kEntryIconId)};
  }
  return entries;
}

}  // namespace

std::optional<IconDigest> ComputeIconDigest(const std::string& fileName) {
  std::unique_ptr<ResourceTree> resources = OpenResources(fileName);
  if (!resources) return std::nullopt;
  return ComputeIconDigest(*resources);
}

std::optional<IconDigest> ComputeIconDigest(std::unique_ptr<platform::File> file) {
  std::unique_ptr<ResourceTree> resources = ResourceTree::Open(std::move(file));
  if (!resources) return std::nullopt;
  return ComputeIconDigest(*resources);
}

std::optional<IconDigest> ComputeIconDigest(ResourceTree& resources) {
  std::optional<ResourceData> group = resources.FindFirstGroupIcon();
  if (!group) return std::nullopt;
  std::optional<std::vector<GroupEntry>> entries = ReadGroup(resources, *group);
  if (!entries) return std::nullopt;

  std::vector<uint32_t> ids(entries->size());
  std::transform(entries->begin(), entries->end(), ids.begin(), [](const GroupEntry& e) { return e.iconId; });
  const std::vector<std::optional<ResourceData>> icons = resources.FindResourceData(kResourceTypeIcon, ids);

  // Decide what enters the digest first, so an oversized total costs no reading.
  uint64_t total = 0;
  std::vector<bool> present(entries->size(), false);
  for (size_t i = 0; i < entries->size(); ++i) {
    present[i] = icons[i] && icons[i]->Size >= (*entries)[i].bytesInRes;
    if (present[i]) total += (*entries)[i].bytesInRes;
  }
  // The size must fit the signature's signed 32-bit field.
  if (total > uint64_t(std::numeric_limits<int32_t>::max())) return std::nullopt;

  MD5Context md5;
  std::vector<uint8_t> buffer(size_t(std::min<uint64_t>(total, kHashChunk)));
  for (size_t i = 0; i < entries->size(); ++i) {
    if (!present[i]) continue;
    const uint32_t wanted = (*entries)[i].bytesInRes;
    for (uint32_t done = 0; done < wanted;) {
      const uint32_t chunk = std::min(wanted - done, kHashChunk);
      if (!resources.ReadData(*icons[i], done, chunk, buffer.data())) return std::nullopt;
      md5.Update(buffer.data(), chunk);
      done += chunk;
    }
  }
  return IconDigest{md5.Finish(), int32_t(total)};
}

}  // namespace vermilax
