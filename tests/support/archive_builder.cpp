#include "support/archive_builder.h"

#include <stdexcept>

#include "engine/signature_archive.h"
#include "engine/zip_writer.h"
#include "env/text_utils.h"
#include "platform/files.h"

namespace vermilax::test {

std::string BuildZip(const std::vector<ZipSource>& entries) {
  ZipWriter zip;
  for (const ZipSource& entry : entries) {
    if (!zip.AddEntry(entry.name, entry.data, entry.level)) throw std::runtime_error("cannot add " + entry.name);
  }
  return zip.Finish();
}

std::string Scramble(std::string_view zip) { return XorString(zip, kArchiveKey); }

void WriteBytes(const std::string& path, std::string_view bytes) {
  if (!platform::WriteWholeFile(path, std::string(bytes))) throw std::runtime_error("cannot write " + path);
}

void WriteArchive(const std::string& path, std::string_view db, std::string_view version, bool deflate) {
  WriteBytes(path, BuildSignatureArchive(db, version, deflate));
}

std::string MD5Line(const Digest& digest, int64_t size, std::string_view name) {
  return DigestToHex(digest) + ":" + std::to_string(size) + ":" + std::string(name);
}

}  // namespace vermilax::test
