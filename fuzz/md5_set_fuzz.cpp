// Fuzz target: arbitrary bytes as the database text of a whole-file MD5 set,
// loaded through a real archive file the way the program loads "md.c".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/md5_signature.h"
#include "engine/signature_archive.h"
#include "platform/files.h"

namespace {

// A name reserved once per process; the file under it exists only while one
// input is loaded, so no run (not even one ended by the fuzzer) leaves it behind.
const std::string& ArchivePath() {
  static const std::string path = [] {
    std::string p = vermilax::platform::CreateUniqueTempFile(vermilax::platform::TempFolder(), "vxf");
    if (p.empty()) std::abort();
    return p;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Stored entries keep each run fast; the archive format is fuzzed separately.
  if (!platform::WriteWholeFile(ArchivePath(), BuildSignatureArchive(text, "fuzz", false))) std::abort();

  MD5Signature set;
  try {
    set.Load(ArchivePath());
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  }
  platform::RemoveFile(ArchivePath());
  // Whatever was loaded must be safe to search and read.
  Digest key{};
  for (size_t i = 0; i < key.size() && i < size; ++i) key[i] = data[i];
  set.Find(int32_t(size), key);
  set.Find(0, Digest{});
  for (int32_t i = -1; i <= set.Count(); ++i) {
    const MD5Record& record = set.Items(i);
    if (record.NameText().size() > MD5Record::kMaxNameLength) std::abort();
    MD5Signature::Matches(record, record.Size, record.Digest);
  }
  return 0;
}
