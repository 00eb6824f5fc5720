#pragma once
// The two scanners as the benchmark runs them over a corpus: the command
// lines, which output lines are detections, and which exit codes are errors.
#include <string>

#include "child_process.h"
#include "scan_corpus.h"

namespace vermilax::bench {

struct ScannerSetup {
  std::string cli;             // vermilax-cli
  std::string vermilaxDb;      // folder of md.c and smd.c
  std::string clamavDb;        // folder of bench.hdb and bench.mdb
  std::string logFolder;       // the scan's --log-dir, emptied before each run
  std::string errorFile;       // where the children's standard error goes
};

// One run of the scanner over the corpus. Exit codes 0 (nothing found) and 1
// (something found) are success; anything else throws std::runtime_error with
// the command, its exit status and its standard error.
ChildRun RunVermilax(const ScannerSetup& setup, const Corpus& corpus);
ChildRun RunClamscan(const ScannerSetup& setup, const Corpus& corpus);

// The command lines as run, for the report.
std::string VermilaxCommandText(const ScannerSetup& setup, const Corpus& corpus);
std::string ClamscanCommandText(const ScannerSetup& setup, const Corpus& corpus);

// The first line of `clamscan --version`; empty when clamscan cannot be run.
std::string ClamscanVersion(const ScannerSetup& setup);

}  // namespace vermilax::bench
