#include "engine/zip_reader.h"

#include <zlib.h>

#include <algorithm>

#include "engine/zip_format.h"
#include "env/text_utils.h"

namespace vermilax {
namespace {

uint16_t Read16(const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return uint16_t(b[0] | b[1] << 8);
}

uint32_t Read32(const char* p) { return ReadUInt32LE(p); }

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
bool Fits(uint64_t offset, uint64_t length, size_t size) { return offset <= size && length <= size - offset; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// Inflates raw deflate data into `out`, which grows only as real output
// arrives. More output than `expected` bytes means the entry is damaged.
bool InflateRaw(std::string_view compressed, uint32_t expected, std::string& out) {
  InflateStream inflater;
  if (!inflater.ok()) return false;
  z_stream* z = inflater.get();
  z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z->avail_in = static_cast<uInt>(compressed.size());
  const size_t limit = size_t(expected) + 1;  // room for one byte too many reveals an overlong stream
  constexpr size_t kMinGrowth = 64 * 1024;
  out.clear();
  // Deflate cannot expand data more than 1032 times, so the declared size is
  // trusted only as far as the compressed bytes could really produce it.
  constexpr size_t kMaxDeflateRatio = 1032;
  out.resize(std::min(limit, compressed.size() * kMaxDeflateRatio + kMinGrowth));
  size_t produced = 0;
  for (;;) {
    if (produced == out.size()) out.resize(std::min(limit, out.size() + std::max(out.size(), kMinGrowth)));
    z->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    z->avail_out = static_cast<uInt>(out.size() - produced);
    int rc = inflate(z, Z_NO_FLUSH);
    produced = out.size() - z->avail_out;
    if (produced > expected) return false;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) return false;  // damaged data, or input ended before the stream did
  }
  out.resize(produced);
  return produced == expected;
}

}  // namespace

bool ZipReader::Open(std::string_view data) {
  data_ = data;
  entries_.clear();
  if (data.size() < zip::kEndOfDirectorySize) return false;
  // The end record sits at the very end, possibly followed by a comment.
  size_t last = data.size() - zip::kEndOfDirectorySize;
  size_t first = last > zip::kMaxCommentSize ? last - zip::kMaxCommentSize : 0;
  for (size_t pos = last + 1; pos-- > first;) {
    const char* p = data.data() + pos;
    if (Read32(p) != zip::kEndOfDirectorySignature) continue;
    uint16_t disk = Read16(p + 4), directoryDisk = Read16(p + 6);
    uint16_t entriesHere = Read16(p + 8), entriesTotal = Read16(p + 10);
    uint32_t directorySize = Read32(p + 12), directoryOffset = Read32(p + 16);
    uint16_t commentSize = Read16(p + 20);
    if (!Fits(pos + zip::kEndOfDirectorySize, commentSize, data.size())) continue;
    if (disk != 0 || directoryDisk != 0 || entriesHere != entriesTotal) continue;  // spanned archives are not supported
    if (uint64_t(directoryOffset) + directorySize > pos) continue;
    if (ReadDirectory(directoryOffset, directorySize, entriesTotal)) return true;
    entries_.clear();
  }
  return false;
}

bool ZipReader::ReadDirectory(uint32_t offset, uint32_t size, uint32_t count) {
  // Each record takes at least its fixed part, so the directory size bounds the count.
  entries_.reserve(std::min<size_t>(count, size / zip::kCentralHeaderSize));
  uint64_t pos = offset;
  const uint64_t end = uint64_t(offset) + size;
  for (uint32_t i = 0; i < count; ++i) {
    if (pos + zip::kCentralHeaderSize > end) return false;
    const char* p = data_.data() + pos;
    if (Read32(p) != zip::kCentralHeaderSignature) return false;
    uint16_t nameSize = Read16(p + 28), extraSize = Read16(p + 30), commentSize = Read16(p + 32);
    uint64_t recordSize = uint64_t(zip::kCentralHeaderSize) + nameSize + extraSize + commentSize;
    if (pos + recordSize > end) return false;
    ZipEntry entry;
    entry.flags = Read16(p + 8);
    entry.method = Read16(p + 10);
    entry.crc32 = Read32(p + 16);
    entry.compressedSize = Read32(p + 20);
    entry.uncompressedSize = Read32(p + 24);
    entry.localHeaderOffset = Read32(p + 42);
    entry.name.assign(p + zip::kCentralHeaderSize, nameSize);
    entries_.push_back(std::move(entry));
    pos += recordSize;
  }
  return true;
}

const ZipEntry* ZipReader::Find(std::string_view name, bool ignoreCase) const {
  for (const ZipEntry& entry : entries_) {
    if (ignoreCase ? SameNameIgnoringCase(entry.name, name) : entry.name == name) return &entry;
  }
  return nullptr;
}

bool ZipReader::EntryData(const ZipEntry& entry, std::string_view& compressed) const {
  uint64_t offset = entry.localHeaderOffset;
  if (!Fits(offset, zip::kLocalHeaderSize, data_.size())) return false;
  const char* p = data_.data() + offset;
  if (Read32(p) != zip::kLocalHeaderSignature) return false;
  // The local header's own name and extra lengths place the data; they may
  // differ from the central record's.
  uint64_t start = offset + zip::kLocalHeaderSize + Read16(p + 26) + Read16(p + 28);
  if (!Fits(start, entry.compressedSize, data_.size())) return false;
  compressed = data_.substr(size_t(start), entry.compressedSize);
  return true;
}

bool ZipReader::Extract(const ZipEntry& entry, std::string& out, uint32_t maxSize) const {
  out.clear();
  if (entry.flags & zip::kFlagEncrypted) return false;
  if (entry.uncompressedSize > std::min(maxSize, kMaxEntrySize)) return false;
  std::string_view compressed;
  if (!EntryData(entry, compressed)) return false;
  bool ok = false;
  if (entry.method == zip::kMethodStored) {
    ok = entry.compressedSize == entry.uncompressedSize;
    if (ok) out.assign(compressed);
  } else if (entry.method == zip::kMethodDeflate) {
    ok = InflateRaw(compressed, entry.uncompressedSize, out);
  }
  if (ok) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // crc32() takes a uInt length; entries are capped well below that.
    crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size()));
    ok = uint32_t(crc) == entry.crc32;
  }
  if (!ok) out.clear();
  return ok;
}

}  // namespace vermilax
