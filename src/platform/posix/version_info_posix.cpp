// Without version resources only the running program knows its version: the
// values the build compiled in.
#include "platform/version_info.h"
#include "version.h"

namespace vermilax::platform {

std::optional<VersionStrings> ReadVersionStrings(const std::string&) { return std::nullopt; }

VersionStrings ProgramVersionStrings() {
  VersionStrings strings;
  strings.CompanyName = VERMILAX_COMPANY_NAME;
  strings.ProductName = VERMILAX_PRODUCT_NAME;
  strings.FileVersion = VERMILAX_VERSION_TEXT;
  strings.ProductVersion = VERMILAX_VERSION_TEXT;
  return strings;
}

}  // namespace vermilax::platform
