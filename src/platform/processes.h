#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vermilax::platform {

struct ProcessEntry {
  uint32_t id = 0;
  std::string path;  // full path of the main module, or the bare name (see below)
};

// Every running process the caller may open for query and read, with the full path
// of its main module (at most 1024 processes on Windows, as the system call is sized).
// Natively: every process whose executable link can be read.
std::vector<ProcessEntry> ListProcessPaths();
// Every running process with the name the platform reports in `path`: on the NT
// family the bare module name (ids 0, 2 and 8 and empty names are left out), on the
// 9x family the name a process snapshot gives. Natively: the executable's base name.
std::vector<ProcessEntry> ListProcessNames();
// Terminates with exit code 0 (natively: SIGKILL). On failure returns false and
// `error` holds the system's code; on Windows the thread's last error keeps it too.
bool TerminateProcessById(uint32_t id, uint32_t& error);
// Starts the command line as a new process in its own process group and waits for
// it to end; false when it cannot be started. Natively the line runs under /bin/sh.
bool RunAndWait(const std::string& command_line);
uint32_t CurrentProcessId();

}  // namespace vermilax::platform
