#pragma once
// Builds PE files in memory for the engine tests: a valid minimal PE32 program by
// default, with every header field the parser checks open to change.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vermilax::test {

struct PeSection {
  std::string name;  // up to 8 bytes are written
  std::string data;  // raw bytes; the raw size is this rounded up to the file alignment
  uint32_t characteristics = 0x60000020;
  // Header values; unset ones follow from the layout.
  std::optional<uint32_t> virtual_address;
  std::optional<uint32_t> virtual_size;   // default: data size
  std::optional<uint32_t> raw_pointer;    // default: next free file position (0 without raw data)
  std::optional<uint32_t> raw_size;       // default: data size rounded up to the file alignment
};

// A section with a name and raw bytes, every header value left to the layout.
inline PeSection Section(const std::string& name, const std::string& data) {
  PeSection section;
  section.name = name;
  section.data = data;
  return section;
}

struct PeImportFunction {
  std::string name;  // empty: imported by ordinal
  uint16_t hint = 0;
  uint16_t ordinal = 0;
};

struct PeImportModule {
  std::string name;
  std::vector<PeImportFunction> functions;
  bool without_original_first_thunk = false;  // only FirstThunk points at the thunks
};

struct PeExportFunction {
  std::string name;
  uint32_t address = 0;
  std::optional<uint16_t> ordinal_index;  // default: the entry's position
};

struct PeExportTable {
  std::string dll_name = "test.dll";
  uint32_t characteristics = 0;
  uint32_t base = 1;
  std::vector<PeExportFunction> functions;  // all named, in name-table order
  std::optional<uint32_t> number_of_functions;
  std::optional<uint32_t> number_of_names;
};

// A resource type or name: a number or a text.
using ResourceKey = std::variant<uint32_t, std::string>;

struct PeResource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0x409;
  std::string data;
};

inline constexpr uint32_t kResourceIcon = 3;
inline constexpr uint32_t kResourceGroupIcon = 14;

// One section as it was written.
struct WrittenSection {
  std::string name;
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_pointer = 0;
  uint32_t raw_size = 0;
};

struct BuiltPe {
  std::string bytes;
  std::vector<WrittenSection> sections;
  uint32_t entry_point = 0;
  uint32_t size_of_headers = 0;
  uint32_t section_table_offset = 0;
};

struct PeBuilder {
  PeBuilder();

  // DOS header.
  std::string dos_magic = "MZ";
  uint32_t new_header_offset = 0x80;  // 0: a DOS program without a new header
  // New header: "PE\0\0" for PE files.
  std::string signature = std::string("PE\0\0", 4);

  // File header.
  uint16_t machine = 0x14C;
  std::optional<uint16_t> number_of_sections;      // default: the sections written
  std::optional<uint16_t> size_of_optional_header;  // default: 224, or 240 for PE32+
  uint16_t characteristics = 0x0102;               // executable image, 32-bit machine

  // Optional header.
  bool pe32plus = false;
  std::optional<uint16_t> magic;       // default: 0x10B, or 0x20B for PE32+
  std::optional<uint32_t> entry_point;  // default: the first section's address
  uint64_t image_base = 0x400000;
  uint32_t section_alignment = 0x1000;
  uint32_t file_alignment = 0x200;
  std::optional<uint32_t> size_of_headers;  // default: headers rounded up to the file alignment
  uint16_t subsystem = 2;
  std::map<int, std::pair<uint32_t, uint32_t>> data_directories;  // index -> (address, size) overrides

  std::vector<PeSection> sections;  // default: .text and .data
  // Written at the entry point: at the start of the first section when the
  // entry point is left to default, otherwise where it maps into section data.
  std::string entry_point_bytes;
  // Generated sections, appended after `sections`: .idata, .edata, .rsrc.
  std::vector<PeImportModule> imports;
  std::optional<PeExportTable> exports;
  std::vector<PeResource> resources;
  std::string overlay;  // bytes after the last section

  BuiltPe BuildWithLayout() const;
  std::string Build() const { return BuildWithLayout().bytes; }
  bool WriteFile(const std::string& path) const;
};

// Adds an icon group `groupId` holding one icon `iconId` with the given image bytes.
void AddIconGroup(PeBuilder& builder, const std::string& iconImage, uint32_t groupId = 1, uint32_t iconId = 1);

// One entry of an icon group's data (the image it describes lives in icon resource `icon_id`).
struct IconGroupEntry {
  uint32_t bytes_in_res = 0;
  uint16_t icon_id = 1;
  uint8_t width = 32;
  uint8_t height = 32;
  uint8_t colour_count = 0;
  uint16_t planes = 1;
  uint16_t bit_count = 32;
};

// The data of an icon-group resource: header (reserved 0, type 1, count) and entries.
std::string IconGroupData(const std::vector<IconGroupEntry>& entries);

// The bytes of a resource section whose tree starts at address `va`, as the
// builder generates its ".rsrc" section; for resources placed by hand.
std::string ResourceSectionData(const std::vector<PeResource>& resources, uint32_t va);

// Non-PE executables.
PeBuilder DosProgramBuilder();  // new-header offset 0
PeBuilder NeProgramBuilder();   // a new header that is not "PE"

}  // namespace vermilax::test
