// The check and stats commands: the file checker over a database folder.
#include "cli/check_commands.h"

#include <optional>

#include "cli/cli_options.h"
#include "engine/checker.h"
#include "env/file_helpers.h"
#include "platform/files.h"
#include "scan/settings.h"

namespace vermilax::cli {

int RunCheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<ParsedOptions> options =
      ParseOptions(args, {{"--deep", "--no-heur"}, {"--db"}, true}, err);
  if (!options) return 2;
  if (options->operands.empty()) {
    err << "usage: vermilax-cli check [--db DIR] [--deep] [--no-heur] FILE...\n";
    return 2;
  }
  const bool deep = options->Has("--deep");
  // For this process only: the user's stored settings stay as they are.
  GetSettings().OverrideHeur(!options->Has("--no-heur"));
  GetSettings().OverrideDeepScan(deep);

  Checker checker(false);
  if (!LoadCheckerDatabases(checker, DatabaseFolderOf(*options), deep, err)) return 2;
  checker.StartLog();
  bool unusable = false, found = false;
  for (const std::string& path : options->operands) {
    // The checker calls a missing file Clean; on the command line that hides a typo.
    if (!IsExistingFile(path)) {
      err << "vermilax-cli: no such file '" << path << "'\n";
      unusable = true;
      continue;
    }
    const CheckResult result = checker.CheckFile(path);
    out << path << ": " << VerdictName(result.verdict);
    if (result.verdict != Verdict::Clean) out << ' ' << result.threatName;
    out << '\n';
    found = found || result.verdict == Verdict::Threat || result.verdict == Verdict::Suspicious;
  }
  if (unusable) return 2;
  return found ? 1 : 0;
}

int RunStatsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<ParsedOptions> options = ParseOptions(args, {{"--deep"}, {"--db"}, false}, err);
  if (!options) return 2;
  Checker checker(false);
  if (!LoadCheckerDatabases(checker, DatabaseFolderOf(*options), options->Has("--deep"), err)) return 2;
  out << checker.GetDatabaseStatistics() << '\n';
  return 0;
}

}  // namespace vermilax::cli
