// Files and folders through the Win32 ANSI file API.
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/files.h"

namespace vermilax::platform {
namespace {

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }
  std::optional<uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return std::nullopt;
    return uint64_t(size.QuadPart);
  }
  bool Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(position);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
  }
  int64_t Read(void* buffer, uint32_t count) override {
    DWORD read = 0;
    if (!ReadFile(handle_, buffer, count, &read, nullptr)) return -1;
    return read;
  }

 private:
  HANDLE handle_;
};

// Case-insensitive wildcard match with * and ?, as the directory search does for
// the masks this program uses.
bool MatchesMask(const char* mask, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    char m = *mask, n = *name;
    if (m == '*') {
      star = mask++;
      resume = name;
      continue;
    }
    if (m == '?' || (m && CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<unsigned char>(m)))) ==
                              CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<unsigned char>(n)))))) {
      ++mask;
      ++name;
      continue;
    }
    if (!star) return false;
    mask = star + 1;
    name = ++resume;
  }
  while (*mask == '*') ++mask;
  return *mask == 0;
}

}  // namespace

std::string SystemErrorMessage(uint32_t code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result;
  if (n && text) result.assign(text, n);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
    result.pop_back();
  if (result.empty()) result = "System error " + std::to_string(code) + ".";
  return result;
}

OpenResult OpenFileForRead(const std::string& path, ShareMode share) {
  OpenResult result;
  DWORD share_flags = share == ShareMode::ReadWrite ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : 0;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share_flags, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    result.error = GetLastError();
    return result;
  }
  result.file = std::make_unique<Win32File>(h);
  return result;
}

bool FileExists(const std::string& path) {
  DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<uint64_t> FindFileSize(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(h);
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    DWORD chunk = DWORD(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(h, data.data() + done, chunk, &written, nullptr) && written > 0;
    done += written;
  }
  return CloseHandle(h) && ok;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool CreateFolder(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0 || FolderExists(path);
}

uint32_t ListFolder(const std::string& folder, const std::string& mask,
                    const std::function<bool(const FolderEntry&)>& visit) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += mask;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  uint32_t status = kErrorSuccess;
  bool any = false;
  for (;;) {
    std::string_view name(data.cFileName);
    // The system also matches short 8.3 names; keep only long names that match.
    if (name != "." && name != ".." && MatchesMask(mask.c_str(), data.cFileName)) {
      FolderEntry entry;
      entry.name = data.cFileName;
      entry.attributes = data.dwFileAttributes;
      entry.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      any = true;
      if (!visit(entry)) break;
    }
    if (!FindNextFileA(h, &data)) {
      DWORD e = GetLastError();
      if (e != ERROR_NO_MORE_FILES) status = e;
      break;
    }
  }
  FindClose(h);
  // Only "." and ".." (or short-name matches) came back: nothing matched, as natively.
  if (status == kErrorSuccess && !any) return kErrorFileNotFound;
  return status;
}

char PathSeparator() { return '\\'; }

std::string TempFolder() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  return (n == 0 || n > MAX_PATH) ? std::string() : std::string(buffer, n);
}

std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) {
  char buffer[MAX_PATH + 1];
  if (!GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer)) return std::string();
  return buffer;
}

std::string ProgramPath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return (n == 0 || n > MAX_PATH) ? std::string() : std::string(buffer, n);
}

std::string ProgramFolder() {
  std::string path = ProgramPath();
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

}  // namespace vermilax::platform
