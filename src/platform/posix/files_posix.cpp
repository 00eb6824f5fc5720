// Files and folders on POSIX systems, with errno mapped to the Windows error codes.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace vermilax::platform {
namespace {

uint32_t MapErrno(int e) {
  switch (e) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST: return kErrorFileExists;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EBADF: return kErrorInvalidHandle;
    default: return 1000000 + uint32_t(e);  // outside the Windows range: keeps errno visible
  }
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }
  std::optional<uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return std::nullopt;
    return uint64_t(st.st_size);
  }
  bool Seek(uint64_t position) override { return ::lseek(fd_, off_t(position), SEEK_SET) >= 0; }
  int64_t Read(void* buffer, uint32_t count) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, count);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::string SystemErrorMessage(uint32_t code) {
  switch (code) {
    case kErrorFileNotFound: return "The system cannot find the file specified.";
    case kErrorPathNotFound: return "The system cannot find the path specified.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    default:
      if (code >= 1000000) return std::strerror(int(code - 1000000));
      return "System error " + std::to_string(code) + ".";
  }
}

OpenResult OpenFileForRead(const std::string& path, ShareMode) {
  OpenResult result;
  // Without O_NONBLOCK a pipe named like a program would hold the open until a
  // writer came; only regular files are read at all.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    result.error = MapErrno(errno);
    return result;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    result.error = kErrorAccessDenied;  // as Windows answers for a folder or a device
    return result;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  result.file = std::make_unique<PosixFile>(fd);
  return result;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<uint64_t> FindFileSize(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    done += size_t(n);
  }
  return ::close(fd) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CreateFolder(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || FolderExists(path); }

uint32_t ListFolder(const std::string& folder, const std::string& mask,
                    const std::function<bool(const FolderEntry&)>& visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) {
    int e = errno;
    if (e == ENOENT) return FolderExists(folder) ? kErrorFileNotFound : kErrorPathNotFound;
    return MapErrno(e);
  }
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  bool any = false;
  uint32_t status = kErrorSuccess;
  while (true) {
    errno = 0;
    dirent* e = ::readdir(dir);
    if (!e) {
      if (errno != 0) status = MapErrno(errno);
      break;
    }
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (::fnmatch(mask.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
    FolderEntry entry;
    entry.name = e->d_name;
    struct stat st;
    // Links are followed; one that leads nowhere is listed as an ordinary file.
    if (::stat((base + entry.name).c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) entry.attributes |= kAttrDirectory;
      else entry.size = uint64_t(st.st_size);
    }
    any = true;
    if (!visit(entry)) break;
  }
  ::closedir(dir);
  if (status == kErrorSuccess && !any) return kErrorFileNotFound;
  return status;
}

char PathSeparator() { return '/'; }

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string result = (dir && *dir) ? dir : "/tmp";
  if (result.back() != '/') result += '/';
  return result;
}

std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX.tmp";
  std::string buffer = pattern;
  int fd = ::mkstemps(buffer.data(), 4);
  if (fd < 0) return std::string();
  ::close(fd);
  return buffer;
}

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, size_t(n));
}

std::string ProgramFolder() {
  std::string path = ProgramPath();
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace vermilax::platform
