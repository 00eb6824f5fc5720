#include "cli/cli.h"

#include <functional>
#include <map>

namespace vermilax::cli {
namespace {

const char kUsage[] =
    "usage: vermilax-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n";

int Usage(std::ostream& out) {
  out << kUsage;
  return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(out);
  err << "vermilax-cli: unknown command '" << args[0] << "' (see vermilax-cli --help)\n";
  return 2;
}

}  // namespace vermilax::cli
