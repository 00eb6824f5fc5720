#pragma once
// One signature database written twice, as Vermilax archives and as ClamAV
// hash files: random whole-file and section digests plus planted ones that
// really match files of the corpus, so both scanners have something to find.
#include <cstddef>
#include <cstdint>
#include <string>

#include "scan_corpus.h"

namespace vermilax::bench {

struct DatabaseShape {
  size_t wholeFileRecords = 100000;
  size_t sectionRecords = 10000;
  size_t plantedFiles = 200;     // whole-file records taken from corpus files
  size_t plantedSections = 200;  // section records taken from other corpus files
};

struct BenchDatabases {
  std::string vermilaxFolder;  // md.c and smd.c
  std::string clamavFolder;    // bench.hdb and bench.mdb
  DatabaseShape shape;         // as built: the planted counts can fall short on a small corpus
  bool reused = false;

  // Each planted record matches exactly one corpus file and no two match the same one.
  size_t ExpectedDetections() const { return shape.plantedFiles + shape.plantedSections; }
};

// Writes (or, when `folder` holds them for the same corpus and shape, reuses)
// the two database folders under `folder`. Planted digests are those the
// engine's PE scanner computes; the section size is the section's raw size
// rounded up to the file alignment and cut at the end of the file, which is
// also the size ClamAV's section hashes are keyed by.
BenchDatabases BuildBenchDatabases(const std::string& folder, const Corpus& corpus, const DatabaseShape& shape,
                                   uint64_t seed);

}  // namespace vermilax::bench
