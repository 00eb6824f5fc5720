#include "engine/zip_writer.h"

#include <zlib.h>

#include <limits>

#include "engine/zip_format.h"

namespace vermilax {
namespace {

// Entries carry a fixed time stamp (1 January 1980, 00:00) so that the same
// input always yields the same archive.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

void Put16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, uint16_t(v & 0xFFFF));
  Put16(out, uint16_t(v >> 16));
}

bool DeflateRaw(std::string_view data, int level, std::string& out) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END;
}

}  // namespace

bool ZipWriter::AddEntry(std::string_view name, std::string_view data, int level) {
  // Every size and offset must stay 32-bit; keep a margin for the headers.
  auto fits = [&](size_t bytes) {
    return uint64_t(bytes) + local_.size() + directory_.size() + 2 * 1024 * 1024 <=
           std::numeric_limits<uint32_t>::max();
  };
  if (count_ == std::numeric_limits<uint16_t>::max() || name.size() > 0xFFFF || !fits(data.size())) return false;
  if (level < 0 || level > kBestCompression) return false;

  const uint16_t method = level == kStored ? zip::kMethodStored : zip::kMethodDeflate;
  std::string deflated;
  if (method == zip::kMethodDeflate && !DeflateRaw(data, level, deflated)) return false;
  std::string_view stored = method == zip::kMethodDeflate ? std::string_view(deflated) : data;
  if (!fits(stored.size())) return false;

  const uint32_t crc = uint32_t(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                                      static_cast<uInt>(data.size())));
  const uint16_t versionNeeded = method == zip::kMethodDeflate ? 20 : 10;
  const uint32_t offset = uint32_t(local_.size());

  // Fields shared by the local header and the central record, from "version needed" on.
  std::string common;
  Put16(common, versionNeeded);
  Put16(common, 0);  // flags
  Put16(common, method);
  Put16(common, kDosTime);
  Put16(common, kDosDate);
  Put32(common, crc);
  Put32(common, uint32_t(stored.size()));
  Put32(common, uint32_t(data.size()));
  Put16(common, uint16_t(name.size()));
  Put16(common, 0);  // extra field length

  Put32(local_, zip::kLocalHeaderSignature);
  local_ += common;
  local_ += name;
  local_ += stored;

  Put32(directory_, zip::kCentralHeaderSignature);
  Put16(directory_, 20);  // made by: MS-DOS attributes, format 2.0
  directory_ += common;
  Put16(directory_, 0);  // comment length
  Put16(directory_, 0);  // disk number
  Put16(directory_, 0);  // internal attributes
  Put32(directory_, 0);  // external attributes
  Put32(directory_, offset);
  directory_ += name;
  ++count_;
  return true;
}

std::string ZipWriter::Finish() const {
  std::string out = local_ + directory_;
  Put32(out, zip::kEndOfDirectorySignature);
  Put16(out, 0);  // this disk
  Put16(out, 0);  // disk with the directory
  Put16(out, count_);
  Put16(out, count_);
  Put32(out, uint32_t(directory_.size()));
  Put32(out, uint32_t(local_.size()));
  Put16(out, 0);  // comment length
  return out;
}

}  // namespace vermilax
