#include "env/path_variables.h"

#include "env/ansi_case.h"
#include "env/file_helpers.h"
#include "env/folders.h"
#include "platform/files.h"

namespace vermilax {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool IsAbsolute(const std::string& path, char separator) {
  if (path.find(":\\") != std::string::npos) return true;
  return separator == '/' && !path.empty() && path[0] == '/';
}

}  // namespace

PathEnvironment SystemPathEnvironment() {
  PathEnvironment environment;
  environment.temp_dir = GetTempDir;
  environment.windows_dir = GetWindowsDir;
  environment.system_dir = GetSystemDir;
  environment.program_files_dir = GetProgramFilesDir;
  environment.is_existing_file = [](const std::string& path) { return IsExistingFile(path); };
  environment.separator = platform::PathSeparator();
  return environment;
}

std::string ExpandPathVariables(const std::string& path) { return ExpandPathVariables(path, SystemPathEnvironment()); }

std::string ExpandPathVariables(const std::string& path, const PathEnvironment& environment) {
  if (path.empty()) return path;
  try {
    std::string result = LowerCaseAnsi(path);
    // Each variable is only asked for when the path uses it.
    const struct {
      const char* variable;
      const std::function<std::string()>& folder;
    } kVariables[] = {
        {"%temp%", environment.temp_dir},
        {"%windir%", environment.windows_dir},
        {"%systemroot%", environment.windows_dir},
        {"%programfiles%", environment.program_files_dir},
    };
    for (const auto& v : kVariables)
      if (result.find(v.variable) != std::string::npos) ReplaceAll(result, v.variable, v.folder());

    if (environment.is_existing_file(result) || IsAbsolute(result, environment.separator)) return result;
    std::string candidate = environment.windows_dir() + environment.separator + path;
    if (environment.is_existing_file(candidate)) return candidate;
    candidate = environment.system_dir() + environment.separator + path;
    if (environment.is_existing_file(candidate)) return candidate;
    return LowerCaseAnsi(path);
  } catch (...) {
    return path;
  }
}

}  // namespace vermilax
