// Fuzz target: arbitrary bytes as a scrambled signature archive, read from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/signature_archive.h"
#include "engine/zip_reader.h"
#include "env/text_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::string db, version;
  if (ParseSignatureArchive(bytes, db, version)) {
    std::vector<std::string> lines;
    SplitLines(db, lines);
  }

  // Every entry, not only "DB" and "ver", to reach all of the ZIP reader.
  const std::string plain = XorString(bytes, kArchiveKey);
  ZipReader zip;
  if (zip.Open(plain)) {
    std::string out;
    for (const ZipEntry& entry : zip.Entries()) zip.Extract(entry, out, 1u << 20);
  }
  return 0;
}
