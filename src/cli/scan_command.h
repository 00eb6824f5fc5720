#pragma once
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

struct ScanCommandOptions {
  std::string databaseFolder;  // with a trailing separator
  bool deep = false;
  bool heur = true;
  bool json = false;
  bool sendStats = false;  // the after-scan report; a command-line user opts in
  bool standard = false;   // the standard scan (Windows build only)
  std::string logFolder;   // empty: "logs" beside the program
  std::vector<std::string> folders;
  bool progress = false;   // the progress line on standard error
};

// scan [--db DIR] [--deep] [--no-heur] [--json] [--log-dir DIR] [--send-stats]
// [--standard] FOLDER...: nullopt, with a message, for unusable arguments.
std::optional<ScanCommandOptions> ParseScanOptions(const std::vector<std::string>& args, std::ostream& err);

// Runs one scan on a worker thread while this thread shows what it finds;
// `interrupted` is asked between notifications and, once true, stops the scan
// as the user's stop does. Exit code 0 nothing found, 1 something found,
// 2 the scan could not run.
int RunScan(const ScanCommandOptions& options, std::ostream& out, std::ostream& err,
            const std::function<bool()>& interrupted);

// The command itself: Ctrl-C stops the scan, the progress line shows on a terminal.
int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
