// Processes natively: the /proc file system, signals and posix_spawn.
#include <dirent.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/errors.h"
#include "platform/processes.h"

extern char** environ;

namespace vermilax::platform {
namespace {

// Ids of the processes under /proc, in the order the folder lists them.
std::vector<uint32_t> ProcessIds() {
  std::vector<uint32_t> ids;
  DIR* dir = ::opendir("/proc");
  if (!dir) return ids;
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    uint64_t id = 0;
    bool numeric = *name != '\0';
    for (const char* p = name; *p && numeric; ++p) {
      numeric = *p >= '0' && *p <= '9';
      id = id * 10 + uint64_t(*p - '0');
      if (id > INT_MAX) numeric = false;
    }
    if (numeric && id > 0) ids.push_back(uint32_t(id));
  }
  ::closedir(dir);
  return ids;
}

// Path of the process's executable, or empty when the link cannot be read
// (kernel threads, processes of other users).
std::string ExecutableOf(uint32_t id) {
  std::string link = "/proc/" + std::to_string(id) + "/exe";
  char buffer[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || size_t(n) >= sizeof buffer) return std::string();
  return std::string(buffer, size_t(n));
}

}  // namespace

std::vector<ProcessEntry> ListProcessPaths() {
  std::vector<ProcessEntry> result;
  for (uint32_t id : ProcessIds()) {
    std::string path = ExecutableOf(id);
    if (!path.empty()) result.push_back(ProcessEntry{id, path});
  }
  return result;
}

std::vector<ProcessEntry> ListProcessNames() {
  std::vector<ProcessEntry> result;
  for (ProcessEntry& entry : ListProcessPaths()) {
    size_t slash = entry.path.rfind('/');
    std::string name = slash == std::string::npos ? entry.path : entry.path.substr(slash + 1);
    if (!name.empty()) result.push_back(ProcessEntry{entry.id, name});
  }
  return result;
}

bool TerminateProcessById(uint32_t id, uint32_t& error) {
  // 0 and anything that reads as a negative pid would signal a whole group or
  // every process: never a single process, so refuse them as the system would.
  if (id == 0 || id > uint32_t(INT_MAX)) {
    error = kErrorInvalidParameter;
    return false;
  }
  if (::kill(pid_t(id), SIGKILL) == 0) {
    error = kErrorSuccess;
    return true;
  }
  error = errno == EPERM ? kErrorAccessDenied : kErrorInvalidParameter;
  return false;
}

bool RunAndWait(const std::string& command_line) {
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::string shell = "/bin/sh", option = "-c", command = command_line;
  char* argv[] = {shell.data(), option.data(), command.data(), nullptr};
  pid_t child = 0;
  int status = posix_spawn(&child, shell.c_str(), nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (status != 0) return false;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

uint32_t CurrentProcessId() { return uint32_t(::getpid()); }

}  // namespace vermilax::platform
