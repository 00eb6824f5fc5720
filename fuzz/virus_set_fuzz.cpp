// Fuzz target: arbitrary bytes as the text of a byte-signature set ("vs.c"),
// then the indexed lookup checked against trying every record in order.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "engine/virus_signature.h"
#include "signature_fuzz_support.h"

using namespace vermilax;

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
    fuzz::Check((found ? int32_t(found - &set.Items(0)) : -1) == set.FindMatchRecordByRecord(scanner));
  });
  return 0;
}
