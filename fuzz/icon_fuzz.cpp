// Fuzz target: arbitrary bytes as a program file whose icon digest is computed,
// with the resource lookups cross-checked against each other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/icon_resources.h"
#include "engine/memory_file.h"
#include "engine/resource_tree.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::optional<IconDigest> icon = ComputeIconDigest(std::make_unique<MemoryFile>(bytes));
  if (icon) Check(icon->size >= 0);

  std::unique_ptr<ResourceTree> tree = ResourceTree::Open(std::make_unique<MemoryFile>(bytes));
  if (!tree) {
    Check(!icon);
    return 0;
  }
  // The one-pass lookup must agree with single lookups; data never lies outside the file.
  const std::vector<uint32_t> ids = {0, 1, 2, 3, 1, 7, 14, 65535};
  for (uint32_t type : {kResourceTypeIcon, kResourceTypeGroupIcon, 1u}) {
    const std::vector<std::optional<ResourceData>> many = tree->FindResourceData(type, ids);
    for (size_t i = 0; i < ids.size(); ++i) {
      std::optional<ResourceData> one = tree->FindResourceData(type, ids[i]);
      Check(one.has_value() == many[i].has_value());
      if (one) Check(one->Offset == many[i]->Offset && one->Size == many[i]->Size);
      if (one) Check(one->Size == 0 || one->Offset + one->Size <= size);
    }
  }
  if (std::optional<ResourceData> group = tree->FindFirstGroupIcon()) {
    std::vector<uint8_t> buffer(std::min<uint32_t>(group->Size, 4096));
    Check(tree->ReadData(*group, 0, uint32_t(buffer.size()), buffer.data()));
    Check(!tree->ReadData(*group, group->Size, 1, buffer.data()));
  }
  return 0;
}
