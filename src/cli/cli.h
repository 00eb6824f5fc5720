#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

// Runs one command of vermilax-cli. `args` excludes the program name.
// Returns the process exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
