// Vermilax's command-line scan against ClamAV's clamscan over one corpus of
// Windows libraries and generated PE files with one database of whole-file and
// section digests written in both formats; then Vermilax alone over 5,000 and
// 50,000 small files (time per file must stay flat), and its byte rate next to
// the MD5 speed of this machine.
//
// usage: see kUsage below. What the scratch folder already holds for the same
// settings is reused, so only the first run pays for building the corpora.
//
// MB are 10^6 bytes. Speeds are those of the fastest run, memory is the largest
// resident set any run reached.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_util.h"
#include "child_process.h"
#include "engine/md5.h"
#include "platform/files.h"
#include "scan_corpus.h"
#include "scan_databases.h"
#include "scanner_commands.h"

using namespace vermilax;
using namespace vermilax::bench;

namespace {

namespace fs = std::filesystem;

constexpr size_t kCorpusFiles = 5000;
constexpr uint64_t kCorpusBytes = 300'000'000;
constexpr size_t kLargeSmallFiles = 50000;
constexpr size_t kQuickLargeSmallFiles = 10000;
constexpr size_t kSliceShare = 10;  // the slice holds a tenth of the large corpus
constexpr int kTimedRuns = 5;
constexpr int kFlatnessRuns = 3;
constexpr double kMB = 1e6;
constexpr uint64_t kSeed = 20261210;

struct Options {
  std::string cli;
  std::string scratch = "/tmp/vermilax-scan-bench";
  bool quick = false;
};

constexpr char kUsage[] =
    "usage: scan_vs_clamscan [--cli PATH] [--scratch DIR] [--quick]\n"
    "  --cli PATH     vermilax-cli to measure (default: the one beside this program)\n"
    "  --scratch DIR  corpora, databases and logs; reused when already built (default /tmp/vermilax-scan-bench)\n"
    "  --quick        one timed run each and a 10,000-file small-file corpus\n";

// False when the program should stop: after --help (exit code 0) or a bad argument (2).
bool ParseOptions(int argc, char** argv, Options& options, int& exitCode) {
  options.cli = platform::ProgramFolder() + "vermilax-cli";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      options.quick = true;
    } else if ((arg == "--cli" || arg == "--scratch") && i + 1 < argc) {
      (arg == "--cli" ? options.cli : options.scratch) = argv[++i];
    } else {
      exitCode = arg == "--help" || arg == "-h" ? 0 : 2;
      std::fputs(kUsage, exitCode == 0 ? stdout : stderr);
      return false;
    }
  }
  options.cli = fs::absolute(options.cli).string();
  options.scratch = fs::absolute(options.scratch).string();
  if (options.scratch.back() != '/') options.scratch += '/';
  return true;
}

// The runs of one scanner over one corpus.
struct Series {
  std::vector<ChildRun> runs;

  const ChildRun& Fastest() const {
    return *std::min_element(runs.begin(), runs.end(),
                             [](const ChildRun& a, const ChildRun& b) { return a.seconds < b.seconds; });
  }
  double BestSeconds() const { return Fastest().seconds; }
  double MedianSeconds() const {
    std::vector<double> times;
    for (const ChildRun& run : runs) times.push_back(run.seconds);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }
  double PeakMB() const {
    uint64_t peak = 0;
    for (const ChildRun& run : runs) peak = std::max(peak, run.peakRssBytes);
    return double(peak) / kMB;
  }
};

void PrintCorpus(const char* label, const Corpus& corpus) {
  std::printf("%s: %zu files (%zu generated), %.1f MB in %s, %s\n", label, corpus.files.size(),
              corpus.GeneratedCount(), double(corpus.bytes) / kMB, corpus.root.c_str(),
              corpus.reused ? "reused" : "built now");
}

void ReportScanner(const char* name, const Series& series, const Corpus& corpus) {
  const double best = series.BestSeconds();
  const std::string prefix = std::string(name) + " ";
  Report((prefix + "files per second (best)").c_str(), double(corpus.files.size()) / best, "files/s");
  Report((prefix + "files per second (median)").c_str(), double(corpus.files.size()) / series.MedianSeconds(),
         "files/s");
  Report((prefix + "MB per second (best)").c_str(), double(corpus.bytes) / kMB / best, "MB/s");
  Report((prefix + "wall time (best)").c_str(), best, "s");
  Report((prefix + "processor time of that run").c_str(), series.Fastest().cpuSeconds, "s");
  Report((prefix + "peak resident set (largest)").c_str(), series.PeakMB(), "MB");
}

// The detections of the runs: the same in every run, or the differing counts.
std::string DetectionText(const Series& series) {
  int64_t low = series.runs.front().matchingLines, high = low;
  for (const ChildRun& run : series.runs) {
    low = std::min(low, run.matchingLines);
    high = std::max(high, run.matchingLines);
  }
  return low == high ? std::to_string(low) : std::to_string(low) + " to " + std::to_string(high);
}

bool FoundExactly(const Series& series, size_t expected) {
  return std::all_of(series.runs.begin(), series.runs.end(),
                     [&](const ChildRun& run) { return run.matchingLines == int64_t(expected); });
}

// Alternates the two scanners on a warm cache: one untimed run each, then `runs`
// timed runs each. Returns Vermilax's best MB per second.
double CompareScanners(const ScannerSetup& setup, const Corpus& corpus, const BenchDatabases& db, int runs) {
  std::printf("\n== Vermilax against clamscan: %d timed runs each, alternating, after one warm-up run each\n", runs);
  std::printf("vermilax: %s\n", VermilaxCommandText(setup, corpus).c_str());
  std::printf("clamscan: %s\n", ClamscanCommandText(setup, corpus).c_str());
  RunVermilax(setup, corpus);
  RunClamscan(setup, corpus);
  Series vermilax, clamav;
  for (int i = 0; i < runs; ++i) {
    vermilax.runs.push_back(RunVermilax(setup, corpus));
    clamav.runs.push_back(RunClamscan(setup, corpus));
  }
  ReportScanner("Vermilax", vermilax, corpus);
  ReportScanner("ClamAV", clamav, corpus);
  const double ratio = clamav.BestSeconds() / vermilax.BestSeconds();
  Report("ratio Vermilax / ClamAV files per second", ratio, "");
  std::printf("detections per run: Vermilax %s, ClamAV %s, planted %zu\n", DetectionText(vermilax).c_str(),
              DetectionText(clamav).c_str(), db.ExpectedDetections());
  Verdict("Vermilax >= 3x ClamAV's files per second", ratio >= 3.0);
  Verdict("Vermilax peak memory < 200 MB", vermilax.PeakMB() < 200.0);
  Verdict("both find exactly the planted files", FoundExactly(vermilax, db.ExpectedDetections()) &&
                                                     FoundExactly(clamav, db.ExpectedDetections()));
  return double(corpus.bytes) / kMB / vermilax.BestSeconds();
}

// The fastest of `runs` runs of Vermilax over each corpus, the corpora taken in turn
// after one untimed run each.
std::vector<ChildRun> FastestRuns(const ScannerSetup& setup, const std::vector<const Corpus*>& corpora, int runs) {
  std::vector<Series> series(corpora.size());
  for (const Corpus* corpus : corpora) RunVermilax(setup, *corpus);
  for (int i = 0; i < runs; ++i) {
    for (size_t c = 0; c < corpora.size(); ++c) series[c].runs.push_back(RunVermilax(setup, *corpora[c]));
  }
  std::vector<ChildRun> fastest;
  for (const Series& s : series) fastest.push_back(s.Fastest());
  return fastest;
}

// Time per file over a slice and over the whole of the small-file corpus. The
// start-up (loading the databases) is timed over a single file and taken off,
// so the comparison shows only what grows with the file count.
void CheckFlatTimePerFile(const ScannerSetup& setup, const Corpus& one, const Corpus& slice, const Corpus& large,
                          int runs) {
  std::printf("\n== Vermilax time per file: %zu against %zu small files, best of %d\n", slice.files.size(),
              large.files.size(), runs);
  const std::vector<ChildRun> fastest = FastestRuns(setup, {&one, &slice, &large}, runs);
  const double startup = fastest[0].seconds;
  auto perFile = [&](const ChildRun& run, const Corpus& corpus) {
    return (run.seconds - startup) / double(corpus.files.size());
  };
  const double small = perFile(fastest[1], slice), big = perFile(fastest[2], large);
  const std::string sliceCount = std::to_string(slice.files.size()), largeCount = std::to_string(large.files.size());
  Report("start-up: a run over one file", startup * 1e3, "ms");
  Report(("wall time per file over " + sliceCount + " files").c_str(),
         fastest[1].seconds / double(slice.files.size()) * 1e6, "us");
  Report(("wall time per file over " + largeCount + " files").c_str(),
         fastest[2].seconds / double(large.files.size()) * 1e6, "us");
  Report(("per file over " + sliceCount + ", less start-up").c_str(), small * 1e6, "us");
  Report(("per file over " + largeCount + ", less start-up").c_str(), big * 1e6, "us");
  Report("ratio larger / smaller, less start-up", big / small, "");
  Verdict("per-file time at most 1.25x on the larger", big <= 1.25 * small);
}

// Single-core MD5 speed: each scanned byte is hashed about twice (whole file and
// its section), so half of it is the byte rate a digest scanner can approach.
void CompareWithMd5(double vermilaxMBps, int runs) {
  std::printf("\n== Vermilax byte rate against MD5 on this machine (information)\n");
  const size_t size = size_t(256) << 20;
  std::string data(size, '\0');
  std::mt19937_64 random(kSeed);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t word = random();
    std::memcpy(&data[i], &word, 8);
  }
  Digest digest{};
  const double seconds = BestOf(runs, [&] { digest = MD5OfBuffer(data.data(), data.size()); });
  const double md5MBps = double(size) / kMB / seconds;
  Report("MD5OfBuffer on 256 MiB", md5MBps, "MB/s");
  Report("Vermilax MB/s as a share of half that", vermilaxMBps / (md5MBps / 2), "");
  std::printf("(digest %s)\n", DigestToHex(digest).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int exitCode = 0;
  if (!ParseOptions(argc, argv, options, exitCode)) return exitCode;
  try {
    fs::create_directories(options.scratch);
    ScannerSetup setup;
    setup.cli = options.cli;
    setup.logFolder = options.scratch + "scan-logs";
    setup.errorFile = options.scratch + "child-stderr.txt";
    if (!fs::exists(setup.cli)) throw std::runtime_error("no vermilax-cli at " + setup.cli + " (see --cli)");
    const std::string clamscan = ClamscanVersion(setup);
    if (clamscan.empty()) throw std::runtime_error("clamscan cannot be run: apt-get install clamav");

    std::printf("== corpora and databases\n");
    const std::string libraries = FindWindowsLibraryFolder();
    std::printf("libraries: %s\n", libraries.empty() ? "(none: Wine is not installed)" : libraries.c_str());
    const Corpus corpus =
        BuildMixedCorpus(options.scratch + "corpus", libraries, kCorpusFiles, kCorpusBytes, kSeed);
    PrintCorpus("corpus", corpus);
    const BenchDatabases db = BuildBenchDatabases(options.scratch + "databases", corpus, DatabaseShape{}, kSeed);
    std::printf("databases: %zu whole-file and %zu section records, %zu and %zu of them planted, %s\n",
                db.shape.wholeFileRecords, db.shape.sectionRecords, db.shape.plantedFiles,
                db.shape.plantedSections, db.reused ? "reused" : "built now");
    std::printf("  Vermilax: %s  ClamAV: %s\n", db.vermilaxFolder.c_str(), db.clamavFolder.c_str());
    setup.vermilaxDb = db.vermilaxFolder;
    setup.clamavDb = db.clamavFolder;

    const size_t largeCount = options.quick ? kQuickLargeSmallFiles : kLargeSmallFiles;
    const Corpus large =
        BuildSmallFileCorpus(options.scratch + "small-" + std::to_string(largeCount), largeCount, kSeed + 1);
    PrintCorpus("small files", large);
    const size_t sliceCount = largeCount / kSliceShare;
    const Corpus slice = BuildSliceCorpus(options.scratch + "slice-" + std::to_string(sliceCount), large, sliceCount);
    PrintCorpus("slice of them", slice);
    const Corpus one = BuildSliceCorpus(options.scratch + "slice-1", large, 1);
    std::printf("scanners: %s; %s\n", clamscan.c_str(), setup.cli.c_str());

    const int runs = options.quick ? 1 : kTimedRuns;
    const double vermilaxMBps = CompareScanners(setup, corpus, db, runs);
    CheckFlatTimePerFile(setup, one, slice, large, options.quick ? 1 : kFlatnessRuns);
    CompareWithMd5(vermilaxMBps, options.quick ? 1 : 3);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "scan_vs_clamscan: %s\n", error.what());
    return 2;
  }
  return 0;
}
