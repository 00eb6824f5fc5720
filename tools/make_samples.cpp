// Writes the generated sample files of the main job, or the text sources of the
// sample databases that know them (data/samples), or the verdicts to expect.
// Usage: make_samples OUTDIR | make_samples --db-text DIR | make_samples --expected [--deep]
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "support/sample_set.h"

namespace {

bool Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::string path = folder + vermilax::platform::PathSeparator() + name;
  if (vermilax::platform::WriteWholeFile(path, bytes)) return true;
  std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
  return false;
}

bool MakeFolder(const std::string& folder) {
  if (vermilax::platform::CreateFolder(folder)) return true;
  std::fprintf(stderr, "make_samples: cannot create %s\n", folder.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vermilax::test;
  if (argc >= 2 && std::strcmp(argv[1], "--expected") == 0) {
    const bool deep = argc == 3 && std::strcmp(argv[2], "--deep") == 0;
    for (const SampleFile& sample : BuildSampleFiles())
      std::printf("%s: %s\n", sample.name.c_str(), (deep ? sample.expectedDeep : sample.expected).c_str());
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--db-text") == 0) {
    if (!MakeFolder(argv[2])) return 2;
    bool ok = true;
    for (const auto& [name, text] : BuildSampleDatabaseTexts()) ok = Write(argv[2], name + ".txt", text) && ok;
    return ok ? 0 : 1;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_samples OUTDIR | make_samples --db-text DIR | make_samples --expected [--deep]\n");
    return 2;
  }
  if (!MakeFolder(argv[1])) return 2;
  bool ok = true;
  for (const SampleFile& sample : BuildSampleFiles()) ok = Write(argv[1], sample.name, sample.bytes) && ok;
  return ok ? 0 : 1;
}
