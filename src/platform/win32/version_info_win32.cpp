// Version information through the version library (GetFileVersionInfo, VerQueryValue).
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/version_info.h"

namespace vermilax::platform {
namespace {

// The string table of the first translation; without a translation table the
// usual US English tables are tried.
std::vector<std::string> StringTablePrefixes(const void* block) {
  std::vector<std::string> prefixes;
  void* translation = nullptr;
  UINT length = 0;
  char name[64];
  if (VerQueryValueA(block, "\\VarFileInfo\\Translation", &translation, &length) && translation &&
      length >= 4) {
    const WORD* words = static_cast<const WORD*>(translation);
    std::snprintf(name, sizeof name, "\\StringFileInfo\\%04x%04x\\", words[0], words[1]);
    prefixes.push_back(name);
  } else {
    prefixes.push_back("\\StringFileInfo\\040904E4\\");
    prefixes.push_back("\\StringFileInfo\\040904B0\\");
  }
  return prefixes;
}

std::string QueryString(const void* block, const std::string& prefix, const char* entry) {
  void* value = nullptr;
  UINT length = 0;
  std::string path = prefix + entry;
  if (!VerQueryValueA(block, path.c_str(), &value, &length) || !value || length == 0) return std::string();
  const char* text = static_cast<const char*>(value);
  return std::string(text, strnlen(text, length));
}

bool HasTable(const void* block, const std::string& prefix) {
  void* value = nullptr;
  UINT length = 0;
  std::string table = prefix.substr(0, prefix.size() - 1);
  return VerQueryValueA(block, table.c_str(), &value, &length) && value;
}

}  // namespace

std::optional<VersionStrings> ReadVersionStrings(const std::string& path) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  VersionStrings strings;
  for (const std::string& prefix : StringTablePrefixes(block.data())) {
    if (!HasTable(block.data(), prefix)) continue;
    strings.CompanyName = QueryString(block.data(), prefix, "CompanyName");
    strings.FileDescription = QueryString(block.data(), prefix, "FileDescription");
    strings.Comments = QueryString(block.data(), prefix, "Comments");
    strings.FileVersion = QueryString(block.data(), prefix, "FileVersion");
    strings.ProductVersion = QueryString(block.data(), prefix, "ProductVersion");
    strings.ProductName = QueryString(block.data(), prefix, "ProductName");
    break;
  }
  return strings;
}

VersionStrings ProgramVersionStrings() { return ReadVersionStrings(ProgramPath()).value_or(VersionStrings{}); }

}  // namespace vermilax::platform
