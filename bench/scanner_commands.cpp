#include "scanner_commands.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vermilax::bench {
namespace {

namespace fs = std::filesystem;

// Well below the system's limit for one command line (2 MiB with the usual stack limit).
constexpr size_t kBatchArgumentBytes = 512 << 10;

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// "path: Threat NAME" or "path: Suspicious NAME", as the check command prints a finding.
bool IsVermilaxFinding(std::string_view line) {
  return line.find(": Threat") != std::string_view::npos || line.find(": Suspicious") != std::string_view::npos;
}

// "path: NAME FOUND", as clamscan prints a finding.
bool IsClamscanFinding(std::string_view line) { return EndsWith(line, " FOUND"); }

std::string RootFolder(const Corpus& corpus) {
  std::string root = corpus.root;
  if (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::vector<std::string> VermilaxScanArgs(const ScannerSetup& setup, const std::string& folder) {
  return {setup.cli, "scan", "--deep", "--db", setup.vermilaxDb, "--log-dir", setup.logFolder, folder};
}

std::vector<std::string> ClamscanArgs(const ScannerSetup& setup, const std::string& folder) {
  return {"clamscan", "--no-summary", "-r", "-d", setup.clamavDb, folder};
}

void ThrowOnError(const std::vector<std::string>& argv, const ChildRun& run) {
  if (run.exitCode == 0 || run.exitCode == 1) return;
  std::string what = "'";
  what += CommandText(argv).substr(0, 300);
  what += "' ";
  what += run.signal ? "was killed by signal " + std::to_string(run.signal)
                     : "exited with code " + std::to_string(run.exitCode);
  what += "; its standard error:\n" + run.errorText;
  throw std::runtime_error(what);
}

void AddBatch(ChildRun& total, const ChildRun& batch) {
  total.seconds += batch.seconds;
  total.cpuSeconds += batch.cpuSeconds;
  total.peakRssBytes = std::max(total.peakRssBytes, batch.peakRssBytes);
  total.exitCode = std::max(total.exitCode, batch.exitCode);
  total.outputLines += batch.outputLines;
  total.matchingLines += batch.matchingLines;
  total.processes += batch.processes;
}

ChildRun RunCheckStandIn(const ScannerSetup& setup, const Corpus& corpus) {
  const std::vector<std::string> head = {setup.cli, "check", "--deep", "--db", setup.vermilaxDb};
  ChildRun total;
  total.exitCode = 0;
  total.processes = 0;
  size_t next = 0;
  while (next < corpus.files.size()) {
    std::vector<std::string> argv = head;
    size_t bytes = 0;
    while (next < corpus.files.size() && (bytes < kBatchArgumentBytes || argv.size() == head.size())) {
      bytes += corpus.files[next].path.size() + 1;
      argv.push_back(corpus.files[next++].path);
    }
    const ChildRun batch = RunChild(argv, IsVermilaxFinding, setup.errorFile);
    ThrowOnError(argv, batch);
    AddBatch(total, batch);
  }
  return total;
}

}  // namespace

ChildRun RunVermilax(const ScannerSetup& setup, const Corpus& corpus) {
  if (!kMeasureScanCommand) return RunCheckStandIn(setup, corpus);
  // A fresh log folder each run, so earlier runs' logs neither pile up nor get read.
  std::error_code ignored;
  fs::remove_all(setup.logFolder, ignored);
  fs::create_directories(setup.logFolder);
  const std::vector<std::string> argv = VermilaxScanArgs(setup, RootFolder(corpus));
  ChildRun run = RunChild(argv, IsVermilaxFinding, setup.errorFile);
  ThrowOnError(argv, run);
  return run;
}

ChildRun RunClamscan(const ScannerSetup& setup, const Corpus& corpus) {
  const std::vector<std::string> argv = ClamscanArgs(setup, RootFolder(corpus));
  ChildRun run = RunChild(argv, IsClamscanFinding, setup.errorFile);
  ThrowOnError(argv, run);
  return run;
}

std::string VermilaxCommandText(const ScannerSetup& setup, const std::string& folder) {
  if (!kMeasureScanCommand)
    return setup.cli + " check --deep --db " + setup.vermilaxDb + " FILE... (every file under " + folder +
           ", standing in for the scan command)";
  return CommandText(VermilaxScanArgs(setup, folder));
}

std::string ClamscanCommandText(const ScannerSetup& setup, const std::string& folder) {
  return CommandText(ClamscanArgs(setup, folder));
}

std::string ClamscanVersion(const ScannerSetup& setup) {
  std::string first;
  try {
    RunChild({"clamscan", "--version"}, [&](std::string_view line) {
      if (first.empty()) first = line;
      return false;
    }, setup.errorFile);
  } catch (const std::exception&) {
    return {};
  }
  return first;
}

bool CliHasScanCommand(const ScannerSetup& setup) {
  const ChildRun run = RunChild({setup.cli, "--help"}, [](std::string_view line) {
    return line.substr(0, 7) == "  scan ";
  }, setup.errorFile);
  return run.exitCode == 0 && run.matchingLines > 0;
}

}  // namespace vermilax::bench
