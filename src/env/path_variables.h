#pragma once
#include <functional>
#include <string>

namespace vermilax {

// What ExpandPathVariables asks of the system; tests pass their own.
struct PathEnvironment {
  std::function<std::string()> temp_dir;           // with trailing separator
  std::function<std::string()> windows_dir;        // without trailing separator
  std::function<std::string()> system_dir;         // without trailing separator
  std::function<std::string()> program_files_dir;
  std::function<bool(const std::string&)> is_existing_file;
  char separator = '\\';  // joins a folder and a bare file name
};

// The running system: the folder getters, IsExistingFile and this build's separator.
PathEnvironment SystemPathEnvironment();

// Turns a path from a start-up entry or a database record into one to test on disk.
// The path is lower-cased and %temp%, %windir%, %systemroot% and %programfiles% are
// replaced (in that order, any letter case) by the folders in the system's case.
// A result naming an existing file, or containing ":\" (natively also one that
// begins with "/", an absolute path there), is returned. Otherwise the path as
// given is tried in the Windows folder, then in the system folder; failing both,
// the path in lower case is the result. Empty in, empty out; on any error the
// path comes back exactly as given.
std::string ExpandPathVariables(const std::string& path);
std::string ExpandPathVariables(const std::string& path, const PathEnvironment& environment);

}  // namespace vermilax
