#include "scanner_commands.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vermilax::bench {
namespace {

namespace fs = std::filesystem;

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// "path: NAME (Threat)" or "path: NAME (Suspicious)", as the scan command prints a finding.
bool IsScanFinding(std::string_view line) { return EndsWith(line, " (Threat)") || EndsWith(line, " (Suspicious)"); }

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
  what += CommandText(argv);
  what += "' ";
  what += run.signal ? "was killed by signal " + std::to_string(run.signal)
                     : "exited with code " + std::to_string(run.exitCode);
  what += "; its standard error:\n" + run.errorText;
  throw std::runtime_error(what);
}

}  // namespace

ChildRun RunVermilax(const ScannerSetup& setup, const Corpus& corpus) {
  // A fresh log folder each run, so earlier runs' logs neither pile up nor get read.
  std::error_code ignored;
  fs::remove_all(setup.logFolder, ignored);
  fs::create_directories(setup.logFolder);
  const std::vector<std::string> argv = VermilaxScanArgs(setup, RootFolder(corpus));
  ChildRun run = RunChild(argv, IsScanFinding, setup.errorFile);
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

}  // namespace vermilax::bench
