#include "cli/cli.h"

#include <string>
#include <string_view>

#include "cli/check_commands.h"
#include "cli/commands.h"
#include "cli/icon_command.h"
#include "cli/pe_commands.h"
#include "cli/scan_command.h"
#include "cli/sysinfo_command.h"

namespace vermilax::cli {
namespace {

struct Command {
  std::string_view name;
  std::string_view arguments;
  std::string_view summary;
  int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

constexpr Command kCommands[] = {
    {"pack", "TEXT_FILE VERSION OUT", "write a signature archive of a text file", RunPack},
    {"unpack", "ARCHIVE", "write an archive's database text to standard output", RunUnpack},
    {"version", "ARCHIVE", "print an archive's version text", RunVersion},
    {"hash", "FILE...", "print a whole-file signature line (digest:size:name) per file", RunHash},
    {"icon", "FILE...", "print an icon signature line (digest:size:name) per program with an icon", RunIconCommand},
    {"sections", "FILE...", "print a section signature line per section with raw data", RunSectionsCommand},
    {"pe", "FILE", "analyse FILE as the checker does; one JSON object", RunPeCommand},
    {"describe", "FILE", "print the file summary written to the scan log", RunDescribeCommand},
    {"check", "[--db DIR] [--deep] [--no-heur] FILE...", "judge files as a scan does (exit 1: threat found)",
     RunCheckCommand},
    {"stats", "[--db DIR] [--deep]", "print the database statistics", RunStatsCommand},
    {"scan",
     "[--db DIR] [--deep] [--no-heur] [--json] [--log-dir DIR] [--send-stats] [--standard] FOLDER...",
     "scan folders, or the computer with --standard (Windows only); write a scan log (exit 1: threat found)",
     RunScanCommand},
    {"sysinfo", "", "print processor, memory, system, user and program versions", RunSysinfo},
};

int Usage(std::ostream& out) {
  out << "usage: vermilax-cli COMMAND [ARGUMENTS]\n"
         "\n"
         "commands:\n";
  constexpr size_t kColumn = 32;  // where the summaries start
  for (const Command& command : kCommands) {
    std::string line = "  " + std::string(command.name) + ' ' + std::string(command.arguments);
    // A long argument list gets its summary on the next line.
    if (line.size() + 2 > kColumn) {
      out << line << '\n';
      line.clear();
    }
    line.resize(kColumn, ' ');
    out << line << command.summary << '\n';
  }
  out << "\n"
         "Databases: without --db, the folder \"db\" beside the program.\n"
         "\n"
         "Signature trust: only the Windows build asks the system's trust service. Other\n"
         "builds have no such service and answer every trust check with false (untrusted).\n";
  return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") return Usage(out);
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run(Args(args.begin() + 1, args.end()), out, err);
  }
  err << "vermilax-cli: unknown command '" << args[0] << "' (see vermilax-cli --help)\n";
  return 2;
}

}  // namespace vermilax::cli
