// The check and stats commands: the file checker over a database folder.
#include "cli/check_commands.h"

#include <exception>
#include <optional>

#include "engine/checker.h"
#include "env/file_helpers.h"
#include "platform/files.h"
#include "scan/settings.h"

namespace vermilax::cli {
namespace {

struct CheckOptions {
  std::string databaseFolder;
  bool deep = false;
  bool heur = true;
  std::vector<std::string> files;
};

std::string WithTrailingSeparator(std::string folder) {
  const char separator = platform::PathSeparator();
  if (folder.empty() || (folder.back() != separator && folder.back() != '/')) folder += separator;
  return folder;
}

// Nullopt (with a message) for an unknown option or a --db without its folder.
std::optional<CheckOptions> ParseOptions(const std::vector<std::string>& args, bool allowFiles, std::ostream& err) {
  CheckOptions options;
  options.databaseFolder = DefaultDatabaseFolder();
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--db") {
      if (i + 1 == args.size()) {
        err << "vermilax-cli: --db needs a folder\n";
        return std::nullopt;
      }
      options.databaseFolder = WithTrailingSeparator(args[++i]);
    } else if (!optionsEnded && arg == "--deep") {
      options.deep = true;
    } else if (!optionsEnded && allowFiles && arg == "--no-heur") {
      options.heur = false;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      err << "vermilax-cli: unknown option '" << arg << "'\n";
      return std::nullopt;
    } else if (allowFiles) {
      options.files.push_back(arg);
    } else {
      err << "vermilax-cli: unexpected argument '" << arg << "'\n";
      return std::nullopt;
    }
  }
  return options;
}

// Loads the start-up sets (and the deep-scan sets when asked); false with the
// loader's message when a database is malformed or the folder is missing.
bool LoadInto(Checker& checker, const CheckOptions& options, std::ostream& err) {
  if (!platform::FolderExists(options.databaseFolder)) {
    err << "vermilax-cli: no database folder '" << options.databaseFolder << "'\n";
    return false;
  }
  try {
    checker.LoadDatabases(options.databaseFolder);
    if (options.deep) checker.LoadDeepScanDatabases();
  } catch (const std::exception& error) {
    err << "vermilax-cli: cannot load the databases in '" << options.databaseFolder << "': " << error.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace

std::string DefaultDatabaseFolder() {
  return platform::ProgramFolder() + "db" + platform::PathSeparator();
}

int RunCheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<CheckOptions> options = ParseOptions(args, true, err);
  if (!options) return 2;
  if (options->files.empty()) {
    err << "usage: vermilax-cli check [--db DIR] [--deep] [--no-heur] FILE...\n";
    return 2;
  }
  // For this process only: the user's stored settings stay as they are.
  GetSettings().OverrideHeur(options->heur);
  GetSettings().OverrideDeepScan(options->deep);

  Checker checker(false);
  if (!LoadInto(checker, *options, err)) return 2;
  checker.StartLog();
  bool unusable = false, found = false;
  for (const std::string& path : options->files) {
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
  std::optional<CheckOptions> options = ParseOptions(args, false, err);
  if (!options) return 2;
  Checker checker(false);
  if (!LoadInto(checker, *options, err)) return 2;
  out << checker.GetDatabaseStatistics() << '\n';
  return 0;
}

}  // namespace vermilax::cli
