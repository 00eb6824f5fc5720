// Fuzz target: arbitrary bytes as the text of a byte-signature set ("vs.c"),
// then the indexed lookup checked against trying every record in order.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "engine/virus_signature.h"
#include "signature_fuzz_support.h"

namespace {

using namespace vermilax;

int32_t RecordByRecord(const VirusSignature& set, const PEScanner& scanner) {
  const auto& sections = scanner.Sections();
  const int32_t last = int32_t(sections.size()) - 1;
  auto hasData = [&](int32_t s) { return s >= 0 && s <= last && sections[size_t(s)].AlignedRawSize != 0; };
  for (int32_t i = 0; i < set.Count(); ++i) {
    const VirusRecord& r = set.Items(i);
    bool match = false;
    switch (r.LocationKind) {
      case kLocationEntryPoint: match = set.MatchEntryPoint(i, scanner); break;
      case kLocationSection: match = hasData(r.SectionIndex) && set.MatchSection(i, scanner, r.SectionIndex); break;
      case kLocationLastSection: match = hasData(last) && set.MatchSection(i, scanner, last); break;
      default:
        for (int32_t s = 0; s <= last && !match; ++s) match = hasData(s) && set.MatchSection(i, scanner, s);
    }
    if (match) return i;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  VirusSignature set;
  fuzz::LoadFromArchive(text, [&](const std::string& path) {
    try {
      set.Load(path);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
  });
  for (int32_t i = 0; i < set.Count(); ++i) {
    const VirusRecord& r = set.Items(i);
    fuzz::Check(!r.Bytes.empty() && r.Bytes.size() == r.Mask.size() && r.LocationKind <= kLocationEverySection);
  }
  fuzz::ForEachFixture([&](const PEScannerEx& scanner) {
    const VirusRecord* found = set.FindMatch(scanner);
    fuzz::Check((found ? int32_t(found - &set.Items(0)) : -1) == RecordByRecord(set, scanner));
  });
  return 0;
}
