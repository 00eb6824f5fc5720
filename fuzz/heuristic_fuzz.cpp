// Fuzz target: arbitrary bytes as the text of the heuristic rules ("heur.b"),
// then the rules evaluated on fixed PE files.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "engine/heuristic.h"
#include "signature_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vermilax;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Heuristic rules;
  fuzz::LoadFromArchive(text, [&](const std::string& path) {
    try {
      rules.Load(path);
    } catch (const std::out_of_range&) {
    }
  });
  fuzz::Check(size_t(rules.Count()) <= size + 1);
  fuzz::ForEachFixture([&](PEScannerEx& scanner) {
    const HeuristicMatch match = rules.Evaluate(scanner);
    fuzz::Check(match.Index >= -1 && match.Index < rules.Count());
    if (match.Index >= 0) {
      const HeuristicRule& rule = rules.Items(match.Index);
      fuzz::Check(match.Name == rule.Name && !rule.RequiredImports.empty());
    }
  });
  return 0;
}
