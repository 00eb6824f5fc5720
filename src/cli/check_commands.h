#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

// check [--db DIR] [--deep] [--no-heur] FILE...: one fresh checker judges each
// file; "PATH: VERDICT" for Clean, "PATH: VERDICT NAME" otherwise. Exit code 1
// when some file is Threat or Suspicious, 2 when the databases cannot be loaded
// or a file does not exist, else 0. --deep and --no-heur hold for this run only.
int RunCheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// stats [--db DIR] [--deep]: the database statistics (with --deep the deep-scan
// sets are loaded and counted too), lines ending in CR as the about
// box shows them, and one final line feed.
int RunStatsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
