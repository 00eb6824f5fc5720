#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace vermilax {

inline constexpr uint32_t kResourceTypeIcon = 3;
inline constexpr uint32_t kResourceTypeGroupIcon = 14;

// Where the bytes of one resource lie in the file.
struct ResourceData {
  uint64_t Offset = 0;  // file offset
  uint32_t Size = 0;    // declared size cut to what the file holds; 0 when it starts outside
  uint32_t CodePage = 0;
};

// The resource tree of a PE file, read from its resource section. Every
// structure of the three levels below the root (type, name, language) is
// checked when the tree is opened; resource bytes are read from the file only
// when asked for, so a large file is never read whole. The file stays open
// until the tree goes.
class ResourceTree {
 public:
  // Levels below the root; directories deeper than that are never read.
  static constexpr int kLevels = 3;

  ~ResourceTree();
  ResourceTree(const ResourceTree&) = delete;
  ResourceTree& operator=(const ResourceTree&) = delete;

  // Null when the file cannot be opened or is empty, is no PE file, has no
  // section starting exactly at the resource directory's address (the
  // optional header is taken to be the 224 bytes of PE32), or its tree is
  // damaged: a structure outside the section, or more entries than the
  // section could hold (a directory reached twice).
  static std::unique_ptr<ResourceTree> Open(std::unique_ptr<platform::File> file);

  // The first language of resource `type`/`id`: the root's first unnamed
  // directory entry with Id `type`, in it the first unnamed directory entry
  // with Id `id`, in it the first entry that is not a directory.
  std::optional<ResourceData> FindResourceData(uint32_t type, uint32_t id) const;
  // FindResourceData for many ids of one type, in one pass over its directory.
  std::vector<std::optional<ResourceData>> FindResourceData(uint32_t type, const std::vector<uint32_t>& ids) const;
  // The root's first unnamed directory entry with Id 14 (icon group), its
  // first entry whatever its id or name, and in that the first non-directory.
  std::optional<ResourceData> FindFirstGroupIcon() const;

  // Copies `count` bytes from `offset` inside a resource's bytes; false when
  // they are not all there or a read fails.
  bool ReadData(const ResourceData& data, uint64_t offset, uint32_t count, void* buffer);

 private:
  struct Entry {
    uint32_t Id = 0;          // 0 for named entries
    uint16_t NameLength = 0;  // UTF-16 characters; 0 for ID entries
    bool IsDirectory = false;
    uint32_t Target = 0;      // offset of the subdirectory or of the data entry
    bool Unnamed() const { return NameLength == 0; }
  };

  ResourceTree(std::unique_ptr<platform::File> file, uint64_t fileSize);
  bool LocateSection();
  bool ReadDirectory(uint32_t offset, int level, uint64_t& entryBudget);
  // Makes section bytes [offset, offset + count) available; false when they lie outside.
  bool LoadSection(uint64_t offset, uint64_t count);
  const uint8_t* SectionBytes(uint64_t offset, uint64_t count) const;
  bool ReadFileAt(uint64_t offset, void* buffer, uint32_t count);

  uint32_t EntryCount(uint32_t directory) const;
  Entry EntryAt(uint32_t directory, uint32_t index) const;
  template <class Accept>
  std::optional<Entry> FirstEntry(uint32_t directory, Accept accept) const;
  std::optional<ResourceData> FirstLanguage(const Entry& entry) const;
  std::optional<ResourceData> DataOf(const Entry& entry) const;
  std::optional<Entry> TypeDirectory(uint32_t type) const;

  std::unique_ptr<platform::File> file_;
  uint64_t file_size_ = 0;
  uint32_t section_rva_ = 0;
  uint64_t section_offset_ = 0;  // PointerToRawData
  uint64_t section_size_ = 0;    // SizeOfRawData, cut at the end of the file
  // The section's leading bytes, read as far as the tree's structures reach.
  std::vector<uint8_t> section_;
};

// Opens a file for reading (others may read and write it meanwhile) and reads
// its resource tree; null on any failure. Closing is letting the handle go.
std::unique_ptr<ResourceTree> OpenResources(const std::string& fileName);

}  // namespace vermilax
