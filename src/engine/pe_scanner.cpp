#include "engine/pe_scanner.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "engine/little_endian.h"
#include "engine/pe_format.h"

namespace vermilax {
namespace {

// Files up to this size are read once and kept whole; larger ones are digested
// in blocks of this size and only their section ranges are kept.
constexpr uint32_t kBlockSize = 1u << 20;
// Section ranges closer than this are read together (fewer reads, little waste).
constexpr uint64_t kChunkMergeGap = 4096;

uint64_t RoundDown(uint64_t value, uint64_t alignment) {
  return alignment == 0 ? value : alignment * (value / alignment);
}

uint64_t RoundUp(uint64_t value, uint64_t alignment) {
  if (alignment == 0 || value % alignment == 0) return value;
  return (value / alignment + 1) * alignment;
}

// Header values are 32-bit; a rounding that passes 4 GiB stays at the top value.
uint32_t Saturate32(uint64_t value) {
  return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max() : uint32_t(value);
}

uint8_t KnownSubsystem(uint16_t value) {
  switch (value) {
    case 1: case 2: case 3: case 5: case 7: case 8: case 9: case 10: case 11: case 12:
      return uint8_t(value);
    default:
      return 0;
  }
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[160];
  int n = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, n < 0 ? 0 : std::min<size_t>(size_t(n), sizeof buffer - 1));
}

void SetContextName(ScanContext& context, const char* name) {
  context.Name.assign(name, std::min(std::strlen(name), kMaxContextName));
}

SectionInfo DescribeSection(const SectionHeader& header, uint64_t fileAlignment, uint64_t sectionAlignment,
                            uint64_t fileSize) {
  const uint8_t* h = header.data();
  SectionInfo info;
  info.VirtualSize = LoadU32LE(h + pe::kSectVirtualSize);
  info.VirtualAddress = LoadU32LE(h + pe::kSectVirtualAddress);
  info.SizeOfRawData = LoadU32LE(h + pe::kSectSizeOfRawData);
  info.PointerToRawData = LoadU32LE(h + pe::kSectPointerToRawData);
  info.Characteristics = LoadU32LE(h + pe::kSectCharacteristics);
  size_t name_length = 0;
  while (name_length < 8 && h[name_length] != 0) ++name_length;
  info.Name.assign(reinterpret_cast<const char*>(h), std::min(name_length, kMaxSectionNameLength));

  info.AlignedRva = uint32_t(RoundDown(info.VirtualAddress, sectionAlignment));
  uint64_t virtual_size = RoundUp(info.VirtualSize, sectionAlignment);
  info.AlignedRawOffset = uint32_t(RoundDown(info.PointerToRawData, fileAlignment));
  uint64_t raw_size = RoundUp(info.SizeOfRawData, fileAlignment);
  // Sections without a virtual size occupy their raw size in memory.
  if (virtual_size == 0 && raw_size != 0) virtual_size = RoundUp(info.SizeOfRawData, sectionAlignment);
  if (raw_size != 0 && info.AlignedRawOffset < fileSize && info.AlignedRawOffset + raw_size > fileSize)
    raw_size = fileSize - info.AlignedRawOffset;
  info.AlignedVirtualSize = Saturate32(virtual_size);
  info.AlignedRawSize = Saturate32(raw_size);
  return info;
}

bool HasSignBitValues(const SectionInfo& s) {
  constexpr uint32_t kTop = 0x80000000u;
  return (s.VirtualAddress & kTop) || (s.VirtualSize & kTop) || (s.SizeOfRawData & kTop) ||
         (s.SizeOfRawData != 0 && (s.PointerToRawData & kTop));
}

}  // namespace

PEScanner::PEScanner(const std::string& fileName) : file_name_(fileName) {
  if (!platform::FileExists(fileName)) {
    error_text_ = "NF";
    return;
  }
  platform::OpenResult opened = platform::OpenFileForRead(fileName, platform::ShareMode::ReadWrite);
  Open(std::move(opened.file), opened.error);
}

PEScanner::PEScanner(const std::string& fileName, std::unique_ptr<platform::File> file) : file_name_(fileName) {
  Open(std::move(file), platform::kErrorSuccess);
}

PEScanner::~PEScanner() = default;

void PEScanner::Open(std::unique_ptr<platform::File> file, uint32_t error) {
  if (file) {
    file_ = std::move(file);
    return;
  }
  if (error != platform::kErrorSuccess) {
    error_text_ = platform::SystemErrorMessage(error);
  }
  if (error_text_.empty()) error_text_ = "Can't open " + file_name_ + " file";
}

uint16_t PEScanner::Machine() const { return LoadU16LE(file_header_.data() + pe::kFileMachine); }
uint16_t PEScanner::SizeOfOptionalHeader() const {
  return LoadU16LE(file_header_.data() + pe::kFileSizeOfOptionalHeader);
}
uint16_t PEScanner::FileCharacteristics() const {
  return LoadU16LE(file_header_.data() + pe::kFileCharacteristics);
}
uint16_t PEScanner::Magic() const { return LoadU16LE(optional_header_.data() + pe::kOptMagic); }
uint32_t PEScanner::AddressOfEntryPoint() const {
  return LoadU32LE(optional_header_.data() + pe::kOptAddressOfEntryPoint);
}
uint32_t PEScanner::ImageBase() const {
  return LoadU32LE(optional_header_.data() + (is_pe32_plus_ ? pe::kOptImageBase64 : pe::kOptImageBase32));
}
uint32_t PEScanner::SectionAlignment() const {
  return LoadU32LE(optional_header_.data() + pe::kOptSectionAlignment);
}
uint32_t PEScanner::FileAlignment() const { return LoadU32LE(optional_header_.data() + pe::kOptFileAlignment); }
uint32_t PEScanner::SizeOfHeaders() const { return LoadU32LE(optional_header_.data() + pe::kOptSizeOfHeaders); }
uint32_t PEScanner::DataDirectoryRva(int index) const {
  if (index < 0 || index > 15) return 0;
  uint32_t base = is_pe32_plus_ ? pe::kOptDataDirectories64 : pe::kOptDataDirectories32;
  return LoadU32LE(optional_header_.data() + base + 8 * uint32_t(index));
}

std::string_view PEScanner::SectionData(size_t index) const {
  if (index >= section_data_.size() || section_data_[index].length == 0) return {};
  const DataView& view = section_data_[index];
  return std::string_view(reinterpret_cast<const char*>(chunks_[view.chunk].bytes.get()) + view.offset, view.length);
}

int32_t PEScanner::Fail(std::string message) {
  error_text_ = std::move(message);
  return 0;
}

int32_t PEScanner::FailBroken(ScanContext& context, std::string message) {
  error_text_ = std::move(message);
  if (context.Options & kScanReportBroken) {
    SetContextName(context, kBrokenExecutable);
    return 1;
  }
  return 0;
}

int32_t PEScanner::ReadFully(void* buffer, int32_t count) {
  if (!file_ || count <= 0) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    int64_t n = file_->Read(out + done, uint32_t(count - done));
    if (n < 0) return -1;
    if (n == 0) break;
    done += int32_t(n);
  }
  return done;
}

int32_t PEScanner::Readn(void* buffer, int32_t count) {
  int32_t n = ReadFully(buffer, count);
  if (n < 0) error_text_ = "Readn: read error";
  return n;
}

int64_t PEScanner::ReadAt(int64_t offset, void* buffer, uint32_t count) {
  // Offsets past the size seen at the start are treated as the end of the file,
  // whatever the file has become meanwhile.
  if (offset < 0 || offset >= file_size_ || count == 0) return 0;
  count = uint32_t(std::min<int64_t>(count, int64_t(file_size_) - offset));
  uint64_t from = uint64_t(offset);
  for (const Chunk& chunk : chunks_) {
    if (chunk.loaded > 0 && from >= chunk.start && from + count <= chunk.start + chunk.loaded) {
      std::memcpy(buffer, chunk.bytes.get() + (from - chunk.start), count);
      return count;
    }
  }
  if (!file_ || !file_->Seek(from)) return -1;
  return ReadFully(buffer, int32_t(count));
}

void PEScanner::ReadAtZeroFilled(int64_t offset, void* buffer, uint32_t count) {
  if (count == 0) return;
  int64_t n = ReadAt(offset, buffer, count);
  if (n < 0) n = 0;
  std::memset(static_cast<uint8_t*>(buffer) + n, 0, count - size_t(n));
}

bool PEScanner::DigestWholeFile() {
  if (!file_->Seek(0)) return false;
  uint32_t size = uint32_t(file_size_);
  if (size <= kBlockSize) {
    // Small files stay in memory: every later read is served from here.
    Chunk whole;
    whole.end = size;
    whole.bytes = std::make_unique_for_overwrite<uint8_t[]>(std::max<uint32_t>(size, 1));
    whole.attempted = true;
    if (Readn(whole.bytes.get(), int32_t(size)) != int32_t(size)) return false;
    whole.loaded = size;
    digest_ = MD5OfBuffer(whole.bytes.get(), size);
    chunks_.push_back(std::move(whole));
    return true;
  }
  // Large files are hashed block by block so they are never held whole.
  auto block = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
  MD5Context md5;
  uint32_t remaining = size;
  while (remaining > 0) {
    int32_t want = int32_t(std::min(remaining, kBlockSize));
    if (Readn(block.get(), want) != want) return false;
    md5.Update(block.get(), size_t(want));
    remaining -= uint32_t(want);
  }
  digest_ = md5.Finish();
  return true;
}

bool PEScanner::ReadSectionTable(uint32_t count, int64_t tableOffset) {
  std::vector<uint8_t> table(size_t(count) * pe::kSectionHeaderSize);
  int64_t n = ReadAt(tableOffset, table.data(), uint32_t(table.size()));
  if (n < 0) n = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t from = i * pe::kSectionHeaderSize;
    if (from >= size_t(n)) break;
    size_t length = std::min<size_t>(pe::kSectionHeaderSize, size_t(n) - from);
    std::memcpy(section_headers_[i].data(), table.data() + from, length);
  }
  return size_t(n) == table.size();
}

void PEScanner::PlanSectionChunks(const std::vector<SectionInfo>& infos) {
  if (!chunks_.empty()) return;  // the whole file is already in memory
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (const SectionInfo& s : infos) {
    if (s.AlignedRawSize == 0 || s.AlignedRawOffset >= uint64_t(file_size_)) continue;
    uint64_t start = s.PointerToRawData;
    uint64_t end = std::min<uint64_t>(start + s.AlignedRawSize, uint64_t(file_size_));
    if (start < end) ranges.emplace_back(start, end);
  }
  std::sort(ranges.begin(), ranges.end());
  for (const auto& [start, end] : ranges) {
    if (!chunks_.empty() && start <= chunks_.back().end + kChunkMergeGap) {
      chunks_.back().end = std::max(chunks_.back().end, end);
      continue;
    }
    Chunk chunk;
    chunk.start = start;
    chunk.end = end;
    chunks_.push_back(std::move(chunk));
  }
}

bool PEScanner::LoadChunk(size_t index) {
  Chunk& chunk = chunks_[index];
  if (!chunk.attempted) {
    chunk.attempted = true;
    uint64_t length = chunk.end - chunk.start;
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(size_t(length));
    int64_t n = file_->Seek(chunk.start) ? ReadFully(bytes.get(), int32_t(length)) : -1;
    if (n > 0) {
      chunk.bytes = std::move(bytes);
      chunk.loaded = uint64_t(n);
    }
  }
  return chunk.loaded > 0;
}

bool PEScanner::FindSectionBytes(const SectionInfo& s, DataView& view) {
  uint64_t start = s.PointerToRawData;
  uint64_t end = start + s.AlignedRawSize;
  for (size_t i = 0; i < chunks_.size(); ++i) {
    if (start < chunks_[i].start || start >= chunks_[i].end) continue;
    if (!LoadChunk(i) || end > chunks_[i].start + chunks_[i].loaded) return false;
    view.chunk = uint32_t(i);
    view.offset = start - chunks_[i].start;
    view.length = s.AlignedRawSize;
    return true;
  }
  return false;  // the range starts past the end of the file
}

int32_t PEScanner::Execute(ScanContext* context) {
  if (context == nullptr) {
    error_text_ = "Execute: ctx = nil";
    return -111;
  }
  try {
    return Analyse(*context);
  } catch (const std::bad_alloc&) {
    section_data_.assign(section_data_.size(), DataView{});
    chunks_.clear();
    return Fail("Out of memory");
  }
}

int32_t PEScanner::Analyse(ScanContext& context) {
  const bool report_broken = (context.Options & kScanReportBroken) != 0;
  // A repeated analysis starts afresh: no view may outlive the bytes it points into.
  section_data_.clear();
  chunks_.clear();
  sections_.clear();
  section_headers_.clear();
  number_of_sections_ = 0;
  entry_point_bytes_read_ = 0;
  entry_point_buffer_.fill(0);

  std::optional<uint64_t> size;
  if (file_ && file_->Seek(0)) size = file_->Size();
  // Sizes are signed 32-bit throughout the engine: a file of 2 GiB or more has no usable size.
  if (!size || *size > uint64_t(std::numeric_limits<int32_t>::max())) {
    error_text_ = "GetFileSize failed";
    return -123;
  }
  file_size_ = int32_t(*size);

  if (!DigestWholeFile()) return Fail("Can't read full data");

  uint8_t dos[2];
  if (ReadAt(0, dos, 2) < 2) return Fail("Can't read DOS signature");
  if (!((dos[0] == 'M' && dos[1] == 'Z') || (dos[0] == 'Z' && dos[1] == 'M'))) {
    error_text_ = "Invalid DOS signature";
    if (dos[0] == 'm' && dos[1] == 'z') {
      SetContextName(context, kSuspiciousSignature);
      return 1;
    }
    return 0;
  }

  uint8_t pointer[4];
  if (ReadAt(pe::kNewHeaderPointerOffset, pointer, 4) < 4)
    return FailBroken(context, "Can't read new header address");
  const uint32_t pe_offset = LoadU32LE(pointer);
  if (pe_offset == 0) return Fail("Not a PE file");

  if (ReadAt(pe_offset, file_header_.data(), pe::kFileHeaderSize) < int64_t(pe::kFileHeaderSize))
    return Fail("Can't read file header");
  if (std::memcmp(file_header_.data(), "PE\0\0", 4) != 0) return Fail("Invalid PE signature (probably NE file)");

  const uint16_t characteristics = FileCharacteristics();
  is_executable_image_ = !(characteristics & pe::kCharDll) && (characteristics & pe::kCharExecutableImage);

  number_of_sections_ = LoadU16LE(file_header_.data() + pe::kFileNumberOfSections);
  if (number_of_sections_ == 0 || number_of_sections_ > kMaxSections) {
    if (report_broken) {
      SetContextName(context, kBrokenExecutable);
      return 1;
    }
    if (number_of_sections_ == 0) return Fail("PE file contains no sections");
    return Fail(Format("PE file contains %d sections", int(number_of_sections_)));
  }

  const uint16_t optional_size = SizeOfOptionalHeader();
  if (optional_size < pe::kOptionalHeaderSize32) return FailBroken(context, "SizeOfOptionalHeader too small");
  const int64_t optional_offset = int64_t(pe_offset) + pe::kFileHeaderSize;
  if (ReadAt(optional_offset, optional_header_.data(), pe::kOptionalHeaderSize32) <
      int64_t(pe::kOptionalHeaderSize32))
    return FailBroken(context, "Can't read optional file header");

  const uint16_t magic = Magic();
  if (magic == pe::kMagicPE32Plus) {
    if (optional_size != pe::kOptionalHeaderSize64)
      return FailBroken(context, "Incorrect SizeOfOptionalHeader for PE32+");
    is_pe32_plus_ = true;
  } else if (magic == pe::kMagicPE32) {
    is_pe32_plus_ = false;
  } else {
    return FailBroken(context, "Incorrect magic number in optional header");
  }
  if (is_pe32_plus_) {
    constexpr uint32_t kExtra = pe::kOptionalHeaderSize64 - pe::kOptionalHeaderSize32;
    if (ReadAt(optional_offset + pe::kOptionalHeaderSize32, optional_header_.data() + pe::kOptionalHeaderSize32,
               kExtra) < int64_t(kExtra))
      return FailBroken(context, "Can't read optional file header");
  }
  // A longer PE32 optional header is skipped: the section table follows it.
  const int64_t table_offset = optional_offset + optional_size;

  const uint32_t entry_point = AddressOfEntryPoint();
  const uint32_t size_of_headers = SizeOfHeaders();
  subsystem_ = KnownSubsystem(LoadU16LE(optional_header_.data() + pe::kOptSubsystem));
  const uint32_t section_alignment = SectionAlignment();
  uint32_t file_alignment = FileAlignment();

  if (report_broken && subsystem_ != 1) {
    if (section_alignment == 0 || section_alignment % 0x1000 != 0)
      return FailBroken(context, "Bad virtual alignment");
    if (file_alignment == 0 || file_alignment % 0x200 != 0) return FailBroken(context, "Bad file alignment");
  }

  const size_t count = number_of_sections_;
  section_headers_.assign(count, SectionHeader{});
  sections_.assign(count, SectionInfo{});
  section_data_.assign(count, DataView{});
  if (!ReadSectionTable(uint32_t(count), table_offset))
    return FailBroken(context, "Can't read section header. Possibly broken PE file");

  // Some linkers write a bogus file alignment while the sections sit on 0x200 boundaries.
  if (file_alignment != 0x200 && file_alignment != 0) {
    for (const SectionHeader& header : section_headers_) {
      uint32_t raw_size = LoadU32LE(header.data() + pe::kSectSizeOfRawData);
      uint32_t raw_pointer = LoadU32LE(header.data() + pe::kSectPointerToRawData);
      if (raw_size != 0 && raw_pointer % file_alignment != 0 && raw_pointer % 0x200 == 0) {
        file_alignment = 0x200;
        break;
      }
    }
  }

  const uint64_t header_size = RoundUp(size_of_headers, section_alignment);

  std::vector<SectionInfo> infos;
  infos.reserve(count);
  for (const SectionHeader& header : section_headers_)
    infos.push_back(DescribeSection(header, file_alignment, section_alignment, uint64_t(file_size_)));
  PlanSectionChunks(infos);

  for (size_t i = 0; i < count; ++i) {
    const SectionInfo& info = infos[i];
    if (report_broken && section_alignment != 0 && info.VirtualAddress % section_alignment != 0)
      return FailBroken(context, "VirtualAddress is misaligned");

    sections_[i] = info;
    if (info.AlignedRawSize != 0) {
      if (info.AlignedRawOffset >= uint64_t(file_size_)) {
        return FailBroken(context, Format("Broken PE file - Section %d starts beyond the end of file "
                                          "(Offset@ %" PRIX32 ", Total filesize %d",
                                          int(i), info.AlignedRawOffset, int(file_size_)));
      }
      DataView view;
      if (!FindSectionBytes(info, view)) return FailBroken(context, Format("Can't read section %d", int(i)));
      section_data_[i] = view;
      std::string_view data = SectionData(i);
      sections_[i].Digest = MD5OfBuffer(data.data(), data.size());
    }

    if (HasSignBitValues(info)) {
      error_text_ = "Found PE values with sign bit set";
      SetContextName(context, kBrokenExecutable);
      return 1;
    }

    const int64_t end = int64_t(info.AlignedRva) + info.AlignedRawSize;
    if (i == 0) {
      if (report_broken && info.VirtualAddress != header_size)
        return FailBroken(context, "First section is in the wrong place");
      min_section_rva_ = int32_t(info.AlignedRva);
      max_section_end_ = end;
    } else {
      const SectionInfo& previous = infos[i - 1];
      if (report_broken &&
          int64_t(info.VirtualAddress) - int64_t(previous.VirtualAddress) != int64_t(previous.AlignedVirtualSize))
        return FailBroken(context, "Virtually misplaced section (wrong order, overlapping, non contiguous)");
      min_section_rva_ = std::min(min_section_rva_, int32_t(info.AlignedRva));
      max_section_end_ = std::max(max_section_end_, end);
    }
  }

  entry_point_offset_ = RvaToOffset(entry_point, header_size);
  if (is_pe32_plus_) return 0;

  int64_t n = ReadAt(entry_point_offset_, entry_point_buffer_.data(), kEntryPointBufferSize);
  if (n < 0) {
    error_text_ = "Readn: read error";
    n = 0;
  }
  entry_point_bytes_read_ = int32_t(n);
  return 1;
}

uint32_t PEScanner::RvaToOffset(uint32_t rva, uint64_t headerSize) const {
  if (rva < headerSize) return rva < uint64_t(file_size_) ? rva : 0;
  for (size_t i = sections_.size(); i-- > 0;) {
    const SectionInfo& s = sections_[i];
    if (s.AlignedRawSize != 0 && s.AlignedRva <= rva && rva < uint64_t(s.AlignedRva) + s.AlignedRawSize) {
      uint64_t offset = uint64_t(rva) - s.AlignedRva + s.AlignedRawOffset;
      return offset <= std::numeric_limits<uint32_t>::max() ? uint32_t(offset) : 0;
    }
  }
  return 0;
}

}  // namespace vermilax
