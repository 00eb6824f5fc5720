#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/md5.h"
#include "platform/files.h"

namespace vermilax {

// Scan-context options.
inline constexpr uint32_t kScanReportBroken = 0x40;  // damaged executables get a detection name
inline constexpr uint32_t kScanChecker = 0x20;       // set by the checker on every file
inline constexpr size_t kMaxContextName = 255;

// Supplied by the caller of Execute; the analysis may write a detection name.
struct ScanContext {
  std::string Name;  // at most kMaxContextName characters
  uint32_t Options = 0;
};

inline constexpr char kBrokenExecutable[] = "Broken.Executable";
inline constexpr char kSuspiciousSignature[] = "Suspicious.Signature";

// One section as the rest of the engine sees it.
struct SectionInfo {
  uint32_t AlignedRva = 0;          // VirtualAddress rounded down to the section alignment
  uint32_t AlignedVirtualSize = 0;  // VirtualSize rounded up to the section alignment
  uint32_t AlignedRawOffset = 0;    // PointerToRawData rounded down to the file alignment
  uint32_t AlignedRawSize = 0;      // SizeOfRawData rounded up, then cut at the end of the file
  uint32_t Characteristics = 0;
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t PointerToRawData = 0;
  uint32_t SizeOfRawData = 0;
  ::vermilax::Digest Digest{};  // MD5 of the raw data; zero when there is none
  std::string Name;             // up to the first zero byte, at most 7 characters
};

inline constexpr size_t kMaxSectionNameLength = 7;
inline constexpr int kMaxSections = 96;
inline constexpr size_t kEntryPointBufferSize = 4096;

// One imported function: the hint of an import by name, or the ordinal of an
// import by ordinal (then the name is empty).
struct ImportExportItem {
  std::string Name;
  int32_t Number = 0;
};

// The functions imported from one module.
struct ImportExport {
  std::string Name;
  std::vector<ImportExportItem> Items;
};

using SectionHeader = std::array<uint8_t, 40>;

// Opens one file, digests it and, for a PE file, validates its headers and reads
// its sections and entry-point bytes. Reports through ErrorText and the result
// of Execute; never throws.
class PEScanner {
 public:
  explicit PEScanner(const std::string& fileName);
  // Analyses a file opened by the caller (in-memory files, tests); a null file
  // behaves like one that could not be opened.
  PEScanner(const std::string& fileName, std::unique_ptr<platform::File> file);
  virtual ~PEScanner();
  PEScanner(const PEScanner&) = delete;
  PEScanner& operator=(const PEScanner&) = delete;

  bool HasError() const { return !error_text_.empty(); }
  // 1: analysed PE32 file or detection name written; 0: not analysable;
  // -111: no context; -123: no usable file size.
  virtual int32_t Execute(ScanContext* context);

  // A copy of one section; a zeroed one for an index past the table.
  SectionInfo GetSection(size_t index) const { return index < sections_.size() ? sections_[index] : SectionInfo{}; }
  // File offset of an address, 0 when it maps to none.
  uint32_t RvaToOffset(uint32_t rva, uint64_t headerSize) const;
  // Reads up to `count` bytes at the current position, repeating short reads;
  // -1 (and ErrorText "Readn: read error") when a read fails.
  int32_t Readn(void* buffer, int32_t count);

  // Imports and exports, read on demand after Execute.
  std::optional<size_t> FindSectionByRva(uint32_t rva) const;
  void ReadImports();
  void ReadExports();

  const std::array<uint8_t, 24>& FileHeader() const { return file_header_; }
  const std::array<uint8_t, 240>& OptionalHeader() const { return optional_header_; }
  uint16_t Machine() const;
  uint16_t SizeOfOptionalHeader() const;
  uint16_t FileCharacteristics() const;
  uint16_t Magic() const;
  uint32_t AddressOfEntryPoint() const;
  // PE32 ImageBase; the low half of it for PE32+.
  uint32_t ImageBase() const;
  uint32_t SectionAlignment() const;  // header fields as read, before any repair
  uint32_t FileAlignment() const;
  uint32_t SizeOfHeaders() const;
  uint32_t DataDirectoryRva(int index) const;

  int32_t MinSectionRva() const { return min_section_rva_; }
  int64_t MaxSectionEnd() const { return max_section_end_; }
  bool IsExecutableImage() const { return is_executable_image_; }
  const std::string& FileName() const { return file_name_; }
  const std::string& ErrorText() const { return error_text_; }
  bool IsPE32Plus() const { return is_pe32_plus_; }
  uint8_t Subsystem() const { return subsystem_; }
  int32_t FileSize() const { return file_size_; }
  const std::vector<SectionHeader>& SectionHeaders() const { return section_headers_; }
  const std::vector<SectionInfo>& Sections() const { return sections_; }
  uint16_t NumberOfSections() const { return number_of_sections_; }
  uint32_t EntryPointOffset() const { return entry_point_offset_; }
  const std::array<uint8_t, kEntryPointBufferSize>& EntryPointBuffer() const { return entry_point_buffer_; }
  int32_t EntryPointBytesRead() const { return entry_point_bytes_read_; }
  // Raw data of section `index`; empty when it has none or was not read.
  std::string_view SectionData(size_t index) const;
  const ::vermilax::Digest& Digest() const { return digest_; }
  const std::string& ImportNames() const { return import_names_; }
  const std::string& ExportNames() const { return export_names_; }
  const std::vector<ImportExport>& Imports() const { return imports_; }
  const std::vector<std::string>& Exports() const { return exports_; }

 protected:
  void SetErrorText(std::string text) { error_text_ = std::move(text); }

 private:
  // File bytes kept in memory: the whole file when it is small, otherwise the
  // merged raw ranges of the sections, each read when first needed. Section
  // data are views into these, so overlapping sections cost no extra memory.
  struct Chunk {
    uint64_t start = 0;
    uint64_t end = 0;  // planned end, never beyond the file size
    std::unique_ptr<uint8_t[]> bytes;
    uint64_t loaded = 0;  // bytes actually read
    bool attempted = false;
  };
  struct DataView {
    uint32_t chunk = 0;
    uint64_t offset = 0;
    uint32_t length = 0;
  };

  void Open(std::unique_ptr<platform::File> file, uint32_t error);
  int32_t Analyse(ScanContext& context);
  bool DigestWholeFile();
  bool ReadSectionTable(uint32_t count, int64_t tableOffset);
  void PlanSectionChunks(const std::vector<SectionInfo>& infos);
  bool LoadChunk(size_t index);
  bool FindSectionBytes(const SectionInfo& section, DataView& view);
  // Readn without touching ErrorText: internal reads report through their callers.
  int32_t ReadFully(void* buffer, int32_t count);
  // Reads at a file offset, from memory when a loaded chunk holds the range.
  // Bytes read (never past FileSize), or -1 on a read error.
  int64_t ReadAt(int64_t offset, void* buffer, uint32_t count);
  // ReadAt that zero-fills what it could not read.
  void ReadAtZeroFilled(int64_t offset, void* buffer, uint32_t count);
  int32_t Fail(std::string message);
  int32_t FailBroken(ScanContext& context, std::string message);

  std::unique_ptr<platform::File> file_;
  std::array<uint8_t, 24> file_header_{};
  std::array<uint8_t, 240> optional_header_{};
  int32_t min_section_rva_ = 0;
  int64_t max_section_end_ = 0;
  bool is_executable_image_ = false;
  std::string file_name_;
  std::string error_text_;
  bool is_pe32_plus_ = false;
  uint8_t subsystem_ = 0;
  int32_t file_size_ = 0;
  std::vector<SectionHeader> section_headers_;
  std::vector<SectionInfo> sections_;
  uint16_t number_of_sections_ = 0;
  std::vector<ImportExport> imports_;
  std::unordered_map<std::string, size_t> import_index_;  // lower-case module name -> imports_
  std::vector<std::string> exports_;
  uint32_t entry_point_offset_ = 0;
  std::string import_names_;
  std::string export_names_;
  std::array<uint8_t, kEntryPointBufferSize> entry_point_buffer_{};
  int32_t entry_point_bytes_read_ = 0;
  std::vector<Chunk> chunks_;
  std::vector<DataView> section_data_;  // one per section; length 0 = no data
  ::vermilax::Digest digest_{};
};

}  // namespace vermilax
