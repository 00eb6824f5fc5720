#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vermilax {

// Name and version of the running program, read once from its own version information.
class AppInfo {
 public:
  AppInfo();

  std::string ProductName;
  std::string ProductVersion;
  std::string FileVersion;
  // The four parts of FileVersion written together (1.1.7.8 -> 1178).
  int32_t BuildNumber = 0;
};

// The program's AppInfo, created on first call.
const AppInfo& GetAppInfo();

// The first four dot-separated parts of a file version written one after another
// and read as a decimal number; 0 when there are fewer parts, a part is not all
// digits, or the number does not fit 32 bits.
int32_t BuildNumberFromVersion(std::string_view file_version);

}  // namespace vermilax
