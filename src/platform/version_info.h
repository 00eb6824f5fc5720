#pragma once
#include <optional>
#include <string>

namespace vermilax::platform {

// The string entries of a file's version information, from its first string
// table (the one named by the first translation). Entries the table lacks are empty.
struct VersionStrings {
  std::string CompanyName;
  std::string FileDescription;
  std::string Comments;
  std::string FileVersion;
  std::string ProductVersion;
  std::string ProductName;
};

// Version strings of any file, or nullopt when it has no readable version
// information. Builds without version resources always answer nullopt.
std::optional<VersionStrings> ReadVersionStrings(const std::string& path);

// Version strings of the running program: on Windows from its own resource,
// elsewhere the values compiled in from the build's version.
VersionStrings ProgramVersionStrings();

}  // namespace vermilax::platform
