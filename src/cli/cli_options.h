#pragma once
// Option parsing and database loading shared by the commands of vermilax-cli.
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vermilax {
class Checker;
}

namespace vermilax::cli {

// What a command accepts: switches, options that take a folder, and whether
// plain arguments (files, folders) may follow. "--" ends the options.
struct OptionSpec {
  std::set<std::string> switches;
  std::set<std::string> folderOptions;
  bool operands = false;
};

struct ParsedOptions {
  std::set<std::string> switches;
  std::map<std::string, std::string> folders;
  std::vector<std::string> operands;

  bool Has(const std::string& name) const { return switches.count(name) > 0; }
  // The folder given with `name`, or nullopt.
  std::optional<std::string> Folder(const std::string& name) const;
};

// Nullopt, with one line on `err`, for an unknown option, an option without
// its folder or an argument the command does not take.
std::optional<ParsedOptions> ParseOptions(const std::vector<std::string>& args, const OptionSpec& accepted,
                                          std::ostream& err);

// `folder` with a trailing separator.
std::string WithTrailingSeparator(std::string folder);
// The folder of --db (with a trailing separator), else "db" beside the program.
std::string DatabaseFolderOf(const ParsedOptions& options);
std::string DefaultDatabaseFolder();

// Loads the start-up sets of `folder` (and the deep-scan sets when asked);
// false with a message when the folder is missing or a database is malformed.
bool LoadCheckerDatabases(Checker& checker, const std::string& folder, bool deep, std::ostream& err);

}  // namespace vermilax::cli
