// Import and export names of an analysed PE file.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/little_endian.h"
#include "engine/pe_format.h"
#include "engine/pe_scanner.h"

namespace vermilax {
namespace {

constexpr uint32_t kModuleNameRead = 1024;
constexpr uint32_t kHintNameRead = 258;
constexpr uint32_t kExportNameRead = 256;

// Hostile tables can point many entries at the same bytes. A real file names
// far fewer modules and functions than these limits, and every recorded
// function costs file bytes of its own, so the work is also held to a budget
// of the file's size.
constexpr uint32_t kMaxImportDescriptors = 1u << 16;
constexpr uint32_t kMaxImportThunks = 1u << 20;
constexpr uint32_t kMaxExports = 1u << 20;
constexpr size_t kThunkBytes = 4;
constexpr size_t kExportTableBytes = 10;  // name pointer, ordinal and function address

std::string NameUpToZero(const uint8_t* bytes, size_t limit) {
  const void* zero = std::memchr(bytes, 0, limit);
  size_t length = zero ? size_t(static_cast<const uint8_t*>(zero) - bytes) : limit;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

// Charges `cost` to `budget`; false when the budget cannot pay it.
bool Spend(size_t& budget, size_t cost) {
  if (cost > budget) return false;
  budget -= cost;
  return true;
}

}  // namespace

std::optional<size_t> PEScanner::FindSectionByRva(uint32_t rva) const {
  if (rva & 0x80000000u) return std::nullopt;
  for (size_t i = 0; i < sections_.size(); ++i) {
    const SectionInfo& s = sections_[i];
    if (s.AlignedRva <= rva && rva < uint64_t(s.AlignedRva) + s.VirtualSize) return i;
  }
  return std::nullopt;
}

void PEScanner::ReadImports() {
  import_names_.clear();
  imports_.clear();
  import_index_.clear();
  try {
    std::optional<size_t> section = FindSectionByRva(DataDirectoryRva(pe::kDirImport));
    if (!section) return;
    // Every address of the directory is translated with the directory's own section.
    const int64_t delta = int64_t(sections_[*section].AlignedRva) - int64_t(sections_[*section].AlignedRawOffset);
    size_t budget = size_t(file_size_);
    uint32_t thunks = 0;
    int64_t position = int64_t(DataDirectoryRva(pe::kDirImport)) - delta;
    for (uint32_t d = 0; d < kMaxImportDescriptors && position < file_size_;
         ++d, position += pe::kImportDescriptorSize) {
      uint8_t descriptor[pe::kImportDescriptorSize];
      ReadAtZeroFilled(position, descriptor, sizeof descriptor);
      const uint32_t name_rva = LoadU32LE(descriptor + 12);
      if (name_rva == 0) break;
      uint8_t name_bytes[kModuleNameRead];
      ReadAtZeroFilled(int64_t(name_rva) - delta, name_bytes, sizeof name_bytes);
      std::string module = NameUpToZero(name_bytes, sizeof name_bytes);
      if (module.empty()) break;

      // Module names are compared without regard to letter case.
      auto [slot, added] = import_index_.try_emplace(AsciiLower(module), imports_.size());
      if (added) imports_.push_back(ImportExport{std::move(module), {}});
      const size_t module_index = slot->second;

      const uint32_t original_first_thunk = LoadU32LE(descriptor + 0);
      const uint32_t first_thunk = LoadU32LE(descriptor + 16);
      int64_t thunk = int64_t(original_first_thunk != 0 ? original_first_thunk : first_thunk) - delta;
      for (;;) {
        if (++thunks > kMaxImportThunks) return;
        uint8_t value_bytes[4];
        ReadAtZeroFilled(thunk, value_bytes, sizeof value_bytes);
        const uint32_t value = LoadU32LE(value_bytes);
        if (value == 0) break;
        if (value & 0x80000000u) {
          if (!Spend(budget, kThunkBytes)) return;
          imports_[module_index].Items.push_back(ImportExportItem{std::string(), int32_t(value & 0xFFFF)});
        } else {
          uint8_t hint_name[kHintNameRead];
          ReadAtZeroFilled(int64_t(value) - delta, hint_name, sizeof hint_name);
          std::string name = NameUpToZero(hint_name + 2, sizeof hint_name - 2);
          if (!Spend(budget, kThunkBytes + name.size() + 1)) return;
          import_names_ += name;
          import_names_ += ',';
          imports_[module_index].Items.push_back(
              ImportExportItem{std::move(name), int32_t(int16_t(LoadU16LE(hint_name)))});
        }
        thunk += 4;
        if (thunk >= file_size_) break;
      }
    }
  } catch (const std::bad_alloc&) {
    // What was read so far stays; the names are a best effort.
  }
}

void PEScanner::ReadExports() {
  export_names_.clear();
  exports_.clear();
  try {
    const uint32_t directory_rva = DataDirectoryRva(pe::kDirExport);
    std::optional<size_t> section = FindSectionByRva(directory_rva);
    if (!section) return;
    const int64_t delta = int64_t(sections_[*section].AlignedRva) - int64_t(sections_[*section].AlignedRawOffset);
    uint8_t directory[pe::kExportDirectorySize];
    ReadAtZeroFilled(int64_t(directory_rva) - delta, directory, sizeof directory);
    if (LoadU32LE(directory) != 0) return;  // Characteristics must be zero

    const uint32_t base = LoadU32LE(directory + 16);
    const uint32_t number_of_functions = LoadU32LE(directory + 20);
    const uint32_t number_of_names = LoadU32LE(directory + 24);
    const uint32_t functions_rva = LoadU32LE(directory + 28);
    const uint32_t names_rva = LoadU32LE(directory + 32);
    const uint32_t ordinals_rva = LoadU32LE(directory + 36);

    // Each export needs a 4-byte name pointer in the file: more cannot be real.
    const uint32_t n = std::min({number_of_functions, number_of_names, kMaxExports, uint32_t(file_size_) / 4});
    std::vector<uint8_t> ordinals(size_t(n) * 2), names(size_t(n) * 4), functions(size_t(n) * 4);
    ReadAtZeroFilled(int64_t(ordinals_rva) - delta, ordinals.data(), uint32_t(ordinals.size()));
    ReadAtZeroFilled(int64_t(names_rva) - delta, names.data(), uint32_t(names.size()));
    ReadAtZeroFilled(int64_t(functions_rva) - delta, functions.data(), uint32_t(functions.size()));

    size_t budget = size_t(file_size_);
    exports_.reserve(n);
    for (uint32_t d = 0; d < n; ++d) {
      uint8_t name_bytes[kExportNameRead];
      ReadAtZeroFilled(int64_t(LoadU32LE(names.data() + 4 * size_t(d))) - delta, name_bytes, sizeof name_bytes);
      std::string name = NameUpToZero(name_bytes, sizeof name_bytes);
      if (!Spend(budget, kExportTableBytes + name.size())) break;
      export_names_ += name;
      export_names_ += ',';
      const uint64_t ordinal = uint64_t(LoadU16LE(ordinals.data() + 2 * size_t(d))) + base;
      name += '\t';
      name += std::to_string(ordinal);
      name += '\t';
      name += std::to_string(LoadU32LE(functions.data() + 4 * size_t(d)));
      exports_.push_back(std::move(name));
    }
    std::sort(exports_.begin(), exports_.end());
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace vermilax
