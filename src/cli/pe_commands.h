#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

// Each receives the arguments after its command name and returns the exit code.

// pe FILE: the analysis the checker runs on FILE, as one JSON object.
int RunPeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// sections FILE...: one section-signature line per section with raw data.
int RunSectionsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// describe FILE: the file summary of the scan log, byte for byte.
int RunDescribeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vermilax::cli
