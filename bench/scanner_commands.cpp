#include "scanner_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vermilax::bench {
namespace {

namespace fs = std::filesystem;

// What one command line may take: the system's limit less the environment and
// a margin. Each argument costs its bytes, its terminating zero and its pointer.
size_t ArgumentBudget() {
  const long limit = sysconf(_SC_ARG_MAX);
  size_t environment = 0;
  for (char** entry = environ; *entry != nullptr; ++entry) environment += std::strlen(*entry) + 1 + sizeof(char*);
  const size_t usable = limit > 0 ? size_t(limit) : size_t(128) << 10;
  constexpr size_t kMargin = 64 << 10;
  return usable > environment + 2 * kMargin ? usable - environment - kMargin : kMargin;
}

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

// Paths relative to the corpus root, run from there, keep the command lines short
// enough that 50,000 files go to one process and so into one judged-file cache.
ChildRun RunCheckStandIn(const ScannerSetup& setup, const Corpus& corpus) {
  const std::vector<std::string> head = {setup.cli, "check", "--deep", "--db", setup.vermilaxDb};
  const size_t budget = ArgumentBudget();
  ChildRun total;
  total.exitCode = 0;
  total.processes = 0;
  size_t next = 0;
  while (next < corpus.files.size()) {
    std::vector<std::string> argv = head;
    size_t bytes = 0;
    for (const std::string& arg : head) bytes += arg.size() + 1 + sizeof(char*);
    while (next < corpus.files.size()) {
      std::string relative = corpus.files[next].path.substr(corpus.root.size());
      const size_t cost = relative.size() + 1 + sizeof(char*);
      if (bytes + cost > budget && argv.size() > head.size()) break;
      bytes += cost;
      argv.push_back(std::move(relative));
      ++next;
    }
    const ChildRun batch = RunChild(argv, IsVermilaxFinding, setup.errorFile, corpus.root);
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

std::string VermilaxCommandText(const ScannerSetup& setup, const Corpus& corpus) {
  if (!kMeasureScanCommand)
    return setup.cli + " check --deep --db " + setup.vermilaxDb + " FILE... (every file under " +
           RootFolder(corpus) + ", named from there, standing in for the scan command)";
  return CommandText(VermilaxScanArgs(setup, RootFolder(corpus)));
}

std::string ClamscanCommandText(const ScannerSetup& setup, const Corpus& corpus) {
  return CommandText(ClamscanArgs(setup, RootFolder(corpus)));
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
