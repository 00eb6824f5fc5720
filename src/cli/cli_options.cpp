#include "cli/cli_options.h"

#include <exception>

#include "engine/checker.h"
#include "platform/files.h"

namespace vermilax::cli {

std::optional<std::string> ParsedOptions::Folder(const std::string& name) const {
  auto found = folders.find(name);
  if (found == folders.end()) return std::nullopt;
  return found->second;
}

std::optional<ParsedOptions> ParseOptions(const std::vector<std::string>& args, const OptionSpec& accepted,
                                          std::ostream& err) {
  ParsedOptions options;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool is_option = !options_ended && arg.size() > 1 && arg[0] == '-';
    if (is_option && arg == "--") {
      options_ended = true;
    } else if (is_option && accepted.folderOptions.count(arg)) {
      if (i + 1 == args.size()) {
        err << "vermilax-cli: " << arg << " needs a folder\n";
        return std::nullopt;
      }
      options.folders[arg] = args[++i];
    } else if (is_option && accepted.switches.count(arg)) {
      options.switches.insert(arg);
    } else if (is_option) {
      err << "vermilax-cli: unknown option '" << arg << "'\n";
      return std::nullopt;
    } else if (accepted.operands) {
      options.operands.push_back(arg);
    } else {
      err << "vermilax-cli: unexpected argument '" << arg << "'\n";
      return std::nullopt;
    }
  }
  return options;
}

std::string WithTrailingSeparator(std::string folder) {
  const char separator = platform::PathSeparator();
  if (folder.empty() || (folder.back() != separator && folder.back() != '/')) folder += separator;
  return folder;
}

std::string DefaultDatabaseFolder() { return platform::ProgramFolder() + "db" + platform::PathSeparator(); }

std::string DatabaseFolderOf(const ParsedOptions& options) {
  const std::optional<std::string> folder = options.Folder("--db");
  return folder ? WithTrailingSeparator(*folder) : DefaultDatabaseFolder();
}

bool LoadCheckerDatabases(Checker& checker, const std::string& folder, bool deep, std::ostream& err) {
  if (!platform::FolderExists(folder)) {
    err << "vermilax-cli: no database folder '" << folder << "'\n";
    return false;
  }
  try {
    checker.LoadDatabases(folder);
    if (deep) checker.LoadDeepScanDatabases();
  } catch (const std::exception& error) {
    err << "vermilax-cli: cannot load the databases in '" << folder << "': " << error.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace vermilax::cli
