// Fuzz target: arbitrary bytes as the database text of a section-signature set,
// loaded through a real archive file the way the program loads "smd.c". The
// prepared lookup must answer exactly as the plain records x sections loop.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/section_signature.h"
#include "engine/signature_archive.h"
#include "platform/files.h"

namespace {

// A name reserved once per process; the file under it exists only while one
// input is loaded, so no run (not even one ended by the fuzzer) leaves it behind.
const std::string& ArchivePath() {
  static const std::string path = [] {
    std::string p = vermilax::platform::CreateUniqueTempFile(vermilax::platform::TempFolder(), "vxs");
    if (p.empty()) std::abort();
    return p;
  }();
  return path;
}

const vermilax::MD5Record* PlainLookup(const vermilax::SecMD5Signature& set,
                                       const std::vector<vermilax::SectionInfo>& sections) {
  const vermilax::MD5Record* candidate = nullptr;
  for (int32_t r = 0; r < set.Count(); ++r) {
    for (const vermilax::SectionInfo& s : sections) {
      if (vermilax::SecMD5Signature::Matches(set.Items(r), int32_t(s.AlignedRawSize), s.Digest)) {
        candidate = &set.Items(r);
        break;
      }
    }
  }
  return candidate;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Stored entries keep each run fast; the archive format is fuzzed separately.
  if (!platform::WriteWholeFile(ArchivePath(), BuildSignatureArchive(text, "fuzz", false))) std::abort();

  SecMD5Signature set;
  try {
    set.Load(ArchivePath());
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  }
  platform::RemoveFile(ArchivePath());

  // Sections with the keys of the loaded records (every record can match),
  // one without raw data, and one of 2 GiB or more.
  std::vector<SectionInfo> sections(3);
  sections[1].AlignedRawSize = 0x80000000u;
  for (int32_t i = 0; i < set.Count() && i < 64; i += 3) {
    SectionInfo s;
    s.AlignedRawSize = uint32_t(set.Items(i).Size);
    s.Digest = set.Items(i).Digest;
    sections.push_back(s);
  }
  for (size_t n = 0; n <= sections.size(); n += 2) {
    std::vector<SectionInfo> some(sections.begin(), sections.begin() + std::min(n, sections.size()));
    if (set.FindSection(some) != PlainLookup(set, some)) __builtin_trap();
  }
  for (int32_t i = -1; i <= set.Count(); ++i) {
    if (set.Items(i).NameText().size() > MD5Record::kMaxNameLength) __builtin_trap();
  }
  return 0;
}
