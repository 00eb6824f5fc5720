#include "cli/cli.h"

#include "cli/pe_commands.h"

namespace vermilax::cli {
namespace {

using Handler = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

struct Command {
  const char* name;
  const char* synopsis;
  Handler run;
};

const Command kCommands[] = {
    {"pe", "pe FILE               analyse FILE as the checker does; one JSON object", RunPeCommand},
    {"sections", "sections FILE...      section-signature lines for the files' sections", RunSectionsCommand},
    {"describe", "describe FILE         the file summary written to the scan log", RunDescribeCommand},
};

int Usage(std::ostream& out) {
  out << "usage: vermilax-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
  for (const Command& command : kCommands) out << "  " << command.synopsis << "\n";
  return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(out);
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run({args.begin() + 1, args.end()}, out, err);
  }
  err << "vermilax-cli: unknown command '" << args[0] << "' (see vermilax-cli --help)\n";
  return 2;
}

}  // namespace vermilax::cli
