#include "env/file_helpers.h"

#include <stdexcept>

#include "env/folders.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/resources.h"

namespace vermilax {
namespace {

[[noreturn]] void Raise(const std::string& what, const std::string& path, const std::string& reason = "") {
  throw std::runtime_error(what + " \"" + path + "\"" + (reason.empty() ? "" : ": " + reason));
}

bool IsSeparator(char c) { return c == '\\' || c == ':' || c == platform::PathSeparator(); }

// The name with its extension (from the last dot of the file name) replaced.
std::string WithExtension(const std::string& path, const std::string& extension) {
  size_t dot = path.rfind('.');
  for (size_t i = dot == std::string::npos ? path.size() : dot + 1; i < path.size(); ++i)
    if (IsSeparator(path[i])) dot = std::string::npos;
  return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

}  // namespace

bool IsExistingFile(const std::string& path) { return platform::FileExists(path); }

int32_t FileSizeOf(const std::string& path) {
  auto size = platform::FindFileSize(path);
  if (!size) return 0;
  return *size >= 0x80000000u ? -1 : int32_t(*size);
}

std::string ReadFileToString(const std::string& path) {
  platform::OpenResult opened = platform::OpenFileForRead(path, platform::ShareMode::ReadWrite);
  if (!opened.file) Raise("cannot open", path, platform::SystemErrorMessage(opened.error));
  std::string data;
  // The size the file reports is only a hint: the file may change while it is read.
  if (auto size = opened.file->Size(); size && *size < data.max_size()) data.reserve(size_t(*size));
  char buffer[65536];
  for (;;) {
    int64_t n = opened.file->Read(buffer, sizeof buffer);
    if (n < 0) Raise("cannot read", path);
    if (n == 0) return data;
    data.append(buffer, size_t(n));
  }
}

void WriteStringToFile(const std::string& path, const std::string& data) {
  if (!platform::WriteWholeFile(path, data)) Raise("cannot write", path);
}

std::string MakeTempFileName() {
  // Each round hands out a new unique name; a handful of rounds always suffices
  // unless the temporary folder is broken, and then there is no name to give.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string placeholder = platform::CreateUniqueTempFile(GetTempDir(), "~");
    if (placeholder.empty()) break;
    std::string name = WithExtension(placeholder, ".~");
    platform::RemoveFile(placeholder);
    if (!platform::FileExists(name) && !platform::FolderExists(name)) return name;
  }
  throw std::runtime_error("cannot make a temporary file name in \"" + GetTempDir() + "\"");
}

bool ExtractResourceToFile(const std::string& name, const std::string& path) {
  if (platform::FileExists(path) || platform::FolderExists(path)) return false;
  auto bytes = platform::ReadProgramResource(name);
  return bytes && platform::WriteWholeFile(path, *bytes);
}

void RunAndWait(const std::string& command_line) { platform::RunAndWait(command_line); }

}  // namespace vermilax
