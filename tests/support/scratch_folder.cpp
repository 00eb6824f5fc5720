#include "support/scratch_folder.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/files.h"
#include "platform/processes.h"

namespace vermilax::test {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  std::string base = platform::TempFolder() + "vermilax-test-" + std::to_string(platform::CurrentProcessId()) + "-";
  for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
    std::string candidate = base + std::to_string(counter++);
    std::error_code error;
    if (fs::create_directory(candidate, error)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("cannot create a scratch folder under " + base);
#ifndef _WIN32
  path_ = fs::canonical(path_).string();
#endif
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ScratchFolder::PathOf(const std::string& name) const { return path_ + platform::PathSeparator() + name; }

std::string ScratchFolder::WriteFile(const std::string& name, const std::string& bytes) const {
  std::string path = PathOf(name);
  if (!platform::WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

#ifdef _WIN32
const char* const kTempVariables[] = {"TMP", "TEMP"};
#else
const char* const kTempVariables[] = {"TMPDIR"};
#endif

void SetVariable(const std::string& name, const std::string* value) {
#ifdef _WIN32
  // GetTempPath reads the process environment block, not the C runtime's copy.
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
  if (value) ::setenv(name.c_str(), value->c_str(), 1);
  else ::unsetenv(name.c_str());
#endif
}

bool GetVariable(const std::string& name, std::string& value) {
#ifdef _WIN32
  char buffer[32768];
  DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return false;
  value.assign(buffer, n);
  return true;
#else
  const char* text = std::getenv(name.c_str());
  if (text) value = text;
  return text != nullptr;
#endif
}

}  // namespace

TempFolderOverride::TempFolderOverride(const std::string& folder) {
  for (const char* name : kTempVariables) {
    Saved saved{name, false, ""};
    saved.present = GetVariable(name, saved.value);
    saved_.push_back(saved);
    SetVariable(name, &folder);
  }
}

TempFolderOverride::~TempFolderOverride() {
  for (const Saved& saved : saved_) SetVariable(saved.name, saved.present ? &saved.value : nullptr);
}

}  // namespace vermilax::test
