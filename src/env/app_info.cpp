#include "env/app_info.h"

#include <limits>

#include "platform/version_info.h"

namespace vermilax {

AppInfo::AppInfo() {
  platform::VersionStrings strings = platform::ProgramVersionStrings();
  ProductName = strings.ProductName;
  ProductVersion = strings.ProductVersion;
  FileVersion = strings.FileVersion;
  BuildNumber = BuildNumberFromVersion(FileVersion);
}

const AppInfo& GetAppInfo() {
  static const AppInfo info;
  return info;
}

int32_t BuildNumberFromVersion(std::string_view file_version) {
  std::string digits;
  int parts = 0;
  while (parts < 4) {
    size_t dot = file_version.find('.');
    std::string_view part = file_version.substr(0, dot);
    digits += part;
    ++parts;
    if (dot == std::string_view::npos) break;
    file_version.remove_prefix(dot + 1);
  }
  if (parts < 4 || digits.empty()) return 0;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max()) return 0;
  }
  return int32_t(value);
}

}  // namespace vermilax
