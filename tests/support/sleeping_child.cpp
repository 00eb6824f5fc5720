#include "support/sleeping_child.h"

#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "platform/files.h"
#include "platform/processes.h"

namespace vermilax::test {
namespace {

const char kChildFlag[] = "--vermilax-sleeping-child";

// The child tells it is up through a file named after its id: by then its main
// module is loaded and it shows in process lists with its path.
std::string ReadyFileOf(uint32_t id) {
  return platform::TempFolder() + "vermilax-child-" + std::to_string(id) + ".ready";
}

bool StartedAsChild() {
#ifdef _WIN32
  return std::strstr(GetCommandLineA(), kChildFlag) != nullptr;
#else
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return line.find(kChildFlag) != std::string::npos;
#endif
}

// Runs before main() of every test program linked with this file.
const bool kIsChild = [] {
  if (!StartedAsChild()) return false;
  platform::WriteWholeFile(ReadyFileOf(platform::CurrentProcessId()), "up");
  std::this_thread::sleep_for(std::chrono::seconds(60));
  std::_Exit(0);
}();

}  // namespace

SleepingChild::SleepingChild(const std::string& program) {
  std::string path = program.empty() ? platform::ProgramPath() : program;
#ifdef _WIN32
  std::string line = "\"" + path + "\" " + kChildFlag;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
  CloseHandle(info.hThread);
  handle_ = info.hProcess;
  uint32_t id = info.dwProcessId;
  auto alive = [this] { return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; };
#else
  std::string flag = kChildFlag;
  char* argv[] = {path.data(), flag.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return;
  uint32_t id = uint32_t(pid);
  auto alive = [pid] { return ::waitpid(pid, nullptr, WNOHANG) == 0; };
#endif
  // Wait for the ready sign; give up if the child ended first, or after half a minute.
  std::string ready = ReadyFileOf(id);
  for (int i = 0; i < 3000 && alive(); ++i) {
    if (platform::FileExists(ready)) {
      platform::RemoveFile(ready);
      id_ = id;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The child never signalled: end it.
#ifdef _WIN32
  TerminateProcess(handle_, 1);
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
#else
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
#endif
  exited_ = true;
}

std::optional<uint32_t> SleepingChild::WaitForExit() {
  if (exited_) return std::nullopt;
#ifdef _WIN32
  if (!handle_) return std::nullopt;
  WaitForSingleObject(handle_, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  CloseHandle(handle_);
  handle_ = nullptr;
  exited_ = true;
  return uint32_t(code);
#else
  if (id_ == 0) return std::nullopt;
  int status = 0;
  while (::waitpid(pid_t(id_), &status, 0) < 0 && errno == EINTR) {
  }
  exited_ = true;
  if (WIFEXITED(status)) return uint32_t(WEXITSTATUS(status));
  return std::nullopt;
#endif
}

SleepingChild::~SleepingChild() {
  if (exited_) return;
#ifdef _WIN32
  if (handle_) TerminateProcess(handle_, 1);
#else
  if (id_ != 0) ::kill(pid_t(id_), SIGKILL);
#endif
  WaitForExit();
}

}  // namespace vermilax::test
