#pragma once
// Scan corpora on disk: folders of executables laid out as on a real disk (100
// files a folder, two levels deep), kept between runs. Beside each corpus folder
// lies a manifest written last; a folder whose manifest names the same build and
// whose files are all there with their sizes is reused instead of rebuilt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vermilax::bench {

struct CorpusFile {
  std::string path;  // absolute
  uint64_t size = 0;
  bool generated = false;  // false: linked or copied from the system's libraries
};

struct Corpus {
  std::string root;
  std::string key;  // what the corpus was built from, as its manifest records it
  std::vector<CorpusFile> files;
  uint64_t bytes = 0;
  bool reused = false;  // found complete on disk rather than built now

  size_t GeneratedCount() const;
};

// Wine's 32-bit Windows libraries, else its 64-bit ones; empty when neither is installed.
std::string FindWindowsLibraryFolder();

// Every executable of `libraryFolder` (hard linked, or copied when a link is
// impossible) plus random PE files of 4 KB to 256 KB, until there are at
// least `minFiles` files and `minBytes` bytes, in a seeded shuffled order.
Corpus BuildMixedCorpus(const std::string& root, const std::string& libraryFolder, size_t minFiles,
                        uint64_t minBytes, uint64_t seed);

// `count` random PE files of 2 KB to 8 KB.
Corpus BuildSmallFileCorpus(const std::string& root, size_t count, uint64_t seed);

// The first `count` files of `source` in the same layout, hard linked (or copied).
Corpus BuildSliceCorpus(const std::string& root, const Corpus& source, size_t count);

}  // namespace vermilax::bench
