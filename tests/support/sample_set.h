#pragma once
// The generated sample files of the main job and the sample databases that
// know them: each sample shows one kind of verdict.
#include <string>
#include <utility>
#include <vector>

namespace vermilax::test {

struct SampleFile {
  std::string name;
  std::string bytes;
  std::string expected;      // "VERDICT" or "VERDICT NAME" as `check` prints it
  std::string expectedDeep;  // the same with --deep
};

std::vector<SampleFile> BuildSampleFiles();

// (archive name, database text) for every sample database, the texts with
// CR LF line ends; the digests are those of BuildSampleFiles().
std::vector<std::pair<std::string, std::string>> BuildSampleDatabaseTexts();

}  // namespace vermilax::test
