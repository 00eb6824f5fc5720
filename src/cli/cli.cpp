#include "cli/cli.h"

#include <functional>
#include <map>

#include "cli/sysinfo_command.h"

namespace vermilax::cli {
namespace {

const char kUsage[] =
    "usage: vermilax-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  sysinfo                       print processor, memory, system, user and program versions\n"
    "\n"
    "Signature trust: only the Windows build asks the system's trust service. Other\n"
    "builds have no such service and answer every trust check with false (untrusted).\n";

int Usage(std::ostream& out) {
  out << kUsage;
  return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(out);
  if (args[0] == "sysinfo") return RunSysinfo({args.begin() + 1, args.end()}, out, err);
  err << "vermilax-cli: unknown command '" << args[0] << "' (see vermilax-cli --help)\n";
  return 2;
}

}  // namespace vermilax::cli
