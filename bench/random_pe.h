#pragma once
// PE32 files with seeded random section contents, for scan corpora: every file
// differs from every other, and the same seed always gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace vermilax::bench {

// A PE32 program (or DLL) of 2 to 5 sections holding random bytes, about
// `targetBytes` long (never below the headers and one minimal section).
std::string RandomPeFile(std::mt19937_64& random, size_t targetBytes, bool dll);

// A size between `low` and `high`, spread evenly on a log scale so small and
// large files are both common.
size_t LogUniformSize(std::mt19937_64& random, size_t low, size_t high);

}  // namespace vermilax::bench
