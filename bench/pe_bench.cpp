// PE analysis per file, as the checker runs it: parse, all digests, imports and exports.
// usage: pe_bench [benchmark flags] [FOLDER]   (default: Wine's 32-bit libraries)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/pe_scanner_ex.h"
#include "platform/files.h"

namespace {

struct Sample {
  std::string path;
  uint64_t size;
};

std::vector<Sample>& Samples() {
  static std::vector<Sample> samples;
  return samples;
}

void LoadSamples(const std::string& folder) {
  vermilax::platform::ListFolder(folder, "*", [&](const vermilax::platform::FolderEntry& e) {
    if (!(e.attributes & vermilax::platform::kAttrDirectory) && e.size > 0)
      Samples().push_back({folder + vermilax::platform::PathSeparator() + e.name, e.size});
    return true;
  });
}

void AnalyseFile(const std::string& path, uint32_t options) {
  vermilax::PEScannerEx scanner(path, false);
  vermilax::ScanContext context;
  context.Options = options;
  if (!scanner.HasError()) benchmark::DoNotOptimize(scanner.Execute(&context));
  scanner.ReadImports();
  scanner.ReadExports();
  benchmark::DoNotOptimize(scanner.ImportNames().data());
}

// One iteration analyses every file of the folder.
void BM_AnalyseFolder(benchmark::State& state) {
  uint64_t bytes = 0;
  for (auto _ : state) {
    for (const Sample& s : Samples()) AnalyseFile(s.path, vermilax::kScanChecker | vermilax::kScanReportBroken);
  }
  for (const Sample& s : Samples()) bytes += s.size;
  state.SetItemsProcessed(int64_t(state.iterations() * Samples().size()));
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

}  // namespace

BENCHMARK(BM_AnalyseFolder)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string folder = argc > 1 ? argv[1] : "/usr/lib/i386-linux-gnu/wine/i386-windows";
  LoadSamples(folder);
  if (Samples().empty()) {
    std::fprintf(stderr, "pe_bench: no files in %s\n", folder.c_str());
    return 1;
  }
  std::fprintf(stderr, "pe_bench: %zu files in %s\n", Samples().size(), folder.c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
