// Fuzz target: arbitrary bytes as the text of a packer-signature set ("*.z"),
// then the indexed lookup checked against trying every record in order.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "engine/packer_signature.h"
#include "signature_fuzz_support.h"

using namespace vermilax;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PackerSignature set;
  set.SetName("fuzz");
  size_t truncated = 0;
  set.SetOnTruncatedEntry([&](const std::string&) { ++truncated; });
  bool indexError = false;
  fuzz::LoadFromArchive(text, [&](const std::string& path) {
    try {
      set.Load(path);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
      indexError = true;
    }
  });
  fuzz::Check(truncated == 0 || (truncated == 1 && indexError));
  for (int32_t i = 0; i < set.Count(); ++i) {
    const PackerRecord& r = set.Items(i);
    fuzz::Check(!r.Bytes.empty() && r.Bytes.size() == r.Mask.size() && r.Bytes.size() <= r.SignatureLine.size());
  }
  fuzz::ForEachFixture([&](const PEScannerEx& scanner) {
    const PackerMatch match = set.FindMatch(scanner);
    fuzz::Check(match.Index == set.FindMatchRecordByRecord(scanner));
    fuzz::Check(match.Record == (match.Index < 0 ? nullptr : &set.Items(match.Index)));
  });
  return 0;
}
