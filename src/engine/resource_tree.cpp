#include "engine/resource_tree.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "engine/little_endian.h"
#include "engine/pe_format.h"

namespace vermilax {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
// The section is read in growing steps from this size on: a tree's
// structures usually sit at its start, the resource bytes after them.
constexpr uint64_t kFirstSectionRead = 64 * 1024;
// Section headers examined per read.
constexpr uint32_t kHeadersPerRead = 64;

// Named entries plus ID entries, as a directory header declares them.
uint32_t DeclaredEntryCount(const uint8_t* header) { return uint32_t(LoadU16LE(header + 12)) + LoadU16LE(header + 14); }

}  // namespace

ResourceTree::ResourceTree(std::unique_ptr<platform::File> file, uint64_t fileSize)
    : file_(std::move(file)), file_size_(fileSize) {}

ResourceTree::~ResourceTree() = default;

std::unique_ptr<ResourceTree> OpenResources(const std::string& fileName) {
  platform::OpenResult opened = platform::OpenFileForRead(fileName, platform::ShareMode::ReadWrite);
  return ResourceTree::Open(std::move(opened.file));
}

std::unique_ptr<ResourceTree> ResourceTree::Open(std::unique_ptr<platform::File> file) {
  if (!file) return nullptr;
  std::optional<uint64_t> size = file->Size();
  if (!size || *size == 0) return nullptr;
  std::unique_ptr<ResourceTree> tree(new ResourceTree(std::move(file), *size));
  if (!tree->LocateSection()) return nullptr;
  // A sound tree holds each 8-byte entry once; more entries than the section
  // has room for means directories are reached more than once.
  uint64_t entryBudget = tree->section_size_ / kDirectoryEntrySize;
  if (!tree->ReadDirectory(0, 1, entryBudget)) return nullptr;
  return tree;
}

bool ResourceTree::LocateSection() {
  uint8_t dos[64];
  if (!ReadFileAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint64_t peOffset = LoadU32LE(dos + pe::kNewHeaderPointerOffset);
  uint8_t headers[pe::kFileHeaderSize + pe::kOptionalHeaderSize32];
  if (!ReadFileAt(peOffset, headers, sizeof headers) || std::memcmp(headers, "PE\0\0", 4) != 0) return false;
  const uint32_t resourceRva =
      LoadU32LE(headers + pe::kFileHeaderSize + pe::kOptDataDirectories32 + 8 * pe::kDirResource);
  const uint32_t sectionCount = LoadU16LE(headers + pe::kFileNumberOfSections);

  // The section table is taken to follow a PE32 optional header, whatever
  // size the file header declares.
  const uint64_t table = peOffset + sizeof headers;
  uint8_t batch[kHeadersPerRead * pe::kSectionHeaderSize];
  for (uint32_t first = 0; first < sectionCount; first += kHeadersPerRead) {
    const uint32_t wanted = std::min(kHeadersPerRead, sectionCount - first);
    if (!file_->Seek(table + uint64_t(first) * pe::kSectionHeaderSize)) return false;
    uint32_t got = 0;
    while (got < wanted * pe::kSectionHeaderSize) {
      int64_t n = file_->Read(batch + got, wanted * pe::kSectionHeaderSize - got);
      if (n <= 0) break;
      got += uint32_t(n);
    }
    for (uint32_t i = 0; i < got / pe::kSectionHeaderSize; ++i) {
      const uint8_t* header = batch + i * pe::kSectionHeaderSize;
      if (LoadU32LE(header + pe::kSectVirtualAddress) != resourceRva) continue;
      section_rva_ = resourceRva;
      section_offset_ = LoadU32LE(header + pe::kSectPointerToRawData);
      const uint64_t rawSize = LoadU32LE(header + pe::kSectSizeOfRawData);
      section_size_ = section_offset_ < file_size_ ? std::min(rawSize, file_size_ - section_offset_) : 0;
      return true;
    }
    if (got < wanted * pe::kSectionHeaderSize) return false;  // the table runs past the end of the file
  }
  return false;
}

bool ResourceTree::ReadDirectory(uint32_t offset, int level, uint64_t& entryBudget) {
  if (!LoadSection(offset, kDirectoryHeaderSize)) return false;
  const uint32_t count = DeclaredEntryCount(SectionBytes(offset, kDirectoryHeaderSize));
  if (count > entryBudget) return false;
  entryBudget -= count;
  if (!LoadSection(uint64_t(offset) + kDirectoryHeaderSize, uint64_t(count) * kDirectoryEntrySize)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    // Loading may move the bytes, so each entry is fetched afresh.
    const uint8_t* raw = SectionBytes(uint64_t(offset) + kDirectoryHeaderSize + i * kDirectoryEntrySize, 8);
    const uint32_t nameWord = LoadU32LE(raw), targetWord = LoadU32LE(raw + 4);
    if (nameWord & kHighBit) {
      const uint32_t nameOffset = nameWord & ~kHighBit;
      if (!LoadSection(nameOffset, 2)) return false;
      const uint16_t length = LoadU16LE(SectionBytes(nameOffset, 2));
      if (!LoadSection(uint64_t(nameOffset) + 2, uint64_t(length) * 2)) return false;
    }
    if (targetWord & kHighBit) {
      if (level < kLevels && !ReadDirectory(targetWord & ~kHighBit, level + 1, entryBudget)) return false;
    } else if (!LoadSection(targetWord, kDataEntrySize)) {
      return false;
    }
  }
  return true;
}

bool ResourceTree::LoadSection(uint64_t offset, uint64_t count) {
  const uint64_t end = offset + count;
  if (end > section_size_) return false;
  const uint64_t loaded = section_.size();
  if (end <= loaded) return true;
  const uint64_t target = std::min(section_size_, std::max({end, loaded * 2, kFirstSectionRead}));
  try {
    section_.resize(size_t(target));
  } catch (const std::bad_alloc&) {
    return false;  // a tree this large is treated as unreadable, never as an error of the caller
  } catch (const std::length_error&) {
    return false;
  }
  if (!ReadFileAt(section_offset_ + loaded, section_.data() + loaded, uint32_t(target - loaded))) {
    section_.resize(loaded);
    return false;
  }
  return true;
}

const uint8_t* ResourceTree::SectionBytes(uint64_t offset, uint64_t count) const {
  if (offset > section_.size() || count > section_.size() - offset) return nullptr;
  return section_.data() + offset;
}

bool ResourceTree::ReadFileAt(uint64_t offset, void* buffer, uint32_t count) {
  if (!file_->Seek(offset)) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t got = 0;
  while (got < count) {
    int64_t n = file_->Read(out + got, count - got);
    if (n <= 0) return false;
    got += uint32_t(n);
  }
  return true;
}

uint32_t ResourceTree::EntryCount(uint32_t directory) const {
  const uint8_t* header = SectionBytes(directory, kDirectoryHeaderSize);
  if (!header) return 0;
  const uint32_t count = DeclaredEntryCount(header);
  // Only directories whose entries were all read count as having any.
  return SectionBytes(uint64_t(directory) + kDirectoryHeaderSize, uint64_t(count) * kDirectoryEntrySize) ? count : 0;
}

ResourceTree::Entry ResourceTree::EntryAt(uint32_t directory, uint32_t index) const {
  const uint8_t* raw = SectionBytes(uint64_t(directory) + kDirectoryHeaderSize + uint64_t(index) * kDirectoryEntrySize, 8);
  Entry entry;
  if (!raw) return entry;
  const uint32_t nameWord = LoadU32LE(raw), targetWord = LoadU32LE(raw + 4);
  if (nameWord & kHighBit) {
    const uint8_t* name = SectionBytes(nameWord & ~kHighBit, 2);
    entry.NameLength = name ? LoadU16LE(name) : 0;
  } else {
    entry.Id = nameWord;
  }
  entry.IsDirectory = (targetWord & kHighBit) != 0;
  entry.Target = targetWord & ~kHighBit;
  return entry;
}

template <class Accept>
std::optional<ResourceTree::Entry> ResourceTree::FirstEntry(uint32_t directory, Accept accept) const {
  const uint32_t count = EntryCount(directory);
  for (uint32_t i = 0; i < count; ++i) {
    Entry entry = EntryAt(directory, i);
    if (accept(entry)) return entry;
  }
  return std::nullopt;
}

std::optional<ResourceData> ResourceTree::DataOf(const Entry& entry) const {
  if (entry.IsDirectory) return std::nullopt;
  const uint8_t* raw = SectionBytes(entry.Target, kDataEntrySize);
  if (!raw) return std::nullopt;
  ResourceData data;
  data.CodePage = LoadU32LE(raw + 8);
  const int64_t offset = int64_t(LoadU32LE(raw)) - int64_t(section_rva_) + int64_t(section_offset_);
  if (offset >= 0 && uint64_t(offset) < file_size_) {
    data.Offset = uint64_t(offset);
    data.Size = uint32_t(std::min<uint64_t>(LoadU32LE(raw + 4), file_size_ - data.Offset));
  }
  return data;
}

std::optional<ResourceData> ResourceTree::FirstLanguage(const Entry& entry) const {
  if (!entry.IsDirectory) return std::nullopt;
  std::optional<Entry> language = FirstEntry(entry.Target, [](const Entry& e) { return !e.IsDirectory; });
  return language ? DataOf(*language) : std::nullopt;
}

std::optional<ResourceTree::Entry> ResourceTree::TypeDirectory(uint32_t type) const {
  return FirstEntry(0, [type](const Entry& e) { return e.IsDirectory && e.Unnamed() && e.Id == type; });
}

std::optional<ResourceData> ResourceTree::FindResourceData(uint32_t type, uint32_t id) const {
  std::optional<Entry> typeDirectory = TypeDirectory(type);
  if (!typeDirectory) return std::nullopt;
  std::optional<Entry> named =
      FirstEntry(typeDirectory->Target, [id](const Entry& e) { return e.IsDirectory && e.Unnamed() && e.Id == id; });
  return named ? FirstLanguage(*named) : std::nullopt;
}

std::vector<std::optional<ResourceData>> ResourceTree::FindResourceData(uint32_t type,
                                                                         const std::vector<uint32_t>& ids) const {
  std::vector<std::optional<ResourceData>> found(ids.size());
  std::optional<Entry> typeDirectory = TypeDirectory(type);
  if (!typeDirectory || ids.empty()) return found;

  std::vector<uint32_t> keys = ids;
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<std::optional<ResourceData>> answers(keys.size());
  std::vector<bool> decided(keys.size(), false);
  // The first unnamed directory with an id decides it, even when it holds no language.
  const uint32_t count = EntryCount(typeDirectory->Target);
  for (uint32_t i = 0; i < count; ++i) {
    const Entry entry = EntryAt(typeDirectory->Target, i);
    if (!entry.IsDirectory || !entry.Unnamed()) continue;
    auto key = std::lower_bound(keys.begin(), keys.end(), entry.Id);
    if (key == keys.end() || *key != entry.Id) continue;
    const size_t at = size_t(key - keys.begin());
    if (decided[at]) continue;
    decided[at] = true;
    answers[at] = FirstLanguage(entry);
  }
  for (size_t i = 0; i < ids.size(); ++i)
    found[i] = answers[size_t(std::lower_bound(keys.begin(), keys.end(), ids[i]) - keys.begin())];
  return found;
}

std::optional<ResourceData> ResourceTree::FindFirstGroupIcon() const {
  std::optional<Entry> groups = TypeDirectory(kResourceTypeGroupIcon);
  if (!groups || EntryCount(groups->Target) == 0) return std::nullopt;
  return FirstLanguage(EntryAt(groups->Target, 0));
}

bool ResourceTree::ReadData(const ResourceData& data, uint64_t offset, uint32_t count, void* buffer) {
  if (offset > data.Size || count > data.Size - offset) return false;
  if (count == 0) return true;
  const uint64_t at = data.Offset + offset;
  // Bytes inside the part of the section already read come from memory.
  if (at >= section_offset_) {
    if (const uint8_t* bytes = SectionBytes(at - section_offset_, count)) {
      std::memcpy(buffer, bytes, count);
      return true;
    }
  }
  return ReadFileAt(at, buffer, count);
}

}  // namespace vermilax
