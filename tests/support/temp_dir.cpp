#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vermilax::test {
namespace {

// The variables the system consults for its temporary folder.
#ifdef _WIN32
constexpr const char* kTempVariables[2] = {"TMP", "TEMP"};
#else
constexpr const char* kTempVariables[2] = {"TMPDIR", "TMPDIR"};
#endif

bool GetVariable(const char* name, std::string& value) {
#ifdef _WIN32
  char buffer[32768];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return false;
  value.assign(buffer, n);
  return true;
#else
  const char* v = std::getenv(name);
  if (!v) return false;
  value = v;
  return true;
#endif
}

void SetVariable(const char* name, const std::string* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
  if (value) ::setenv(name, value->c_str(), 1);
  else ::unsetenv(name);
#endif
}

}  // namespace

TempDir::TempDir() {
  placeholder_ = platform::CreateUniqueTempFile(platform::TempFolder(), "vxt");
  if (placeholder_.empty()) throw std::runtime_error("cannot reserve a temporary name");
  path_ = placeholder_ + ".d";
  if (!platform::CreateFolder(path_)) throw std::runtime_error("cannot create " + path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
  platform::RemoveFile(placeholder_);
}

std::string TempDir::File(const std::string& name) const { return path_ + platform::PathSeparator() + name; }

size_t CountEntries(const std::string& folder) {
  size_t count = 0;
  platform::ListFolder(folder, "*", [&](const platform::FolderEntry&) {
    ++count;
    return true;
  });
  return count;
}

TempFolderRedirect::TempFolderRedirect(const std::string& folder) {
  for (int i = 0; i < 2; ++i) {
    saved_[i].name = kTempVariables[i];
    saved_[i].had = GetVariable(saved_[i].name, saved_[i].value);
  }
  for (const char* name : kTempVariables) SetVariable(name, &folder);
}

TempFolderRedirect::~TempFolderRedirect() {
  // Restore in reverse so a variable listed twice ends with its first saved value.
  for (int i = 1; i >= 0; --i) SetVariable(saved_[i].name, saved_[i].had ? &saved_[i].value : nullptr);
}

}  // namespace vermilax::test
