#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vermilax {

// One entry of a process list: a name or path with the process id.
struct NamedId {
  std::string name;
  uint32_t id = 0;
};

// Opens the process with the right to terminate and ends it with exit code 0.
// On failure returns false; `error` (when given) receives the failing call's
// system error code, which on Windows is also left as the thread's last error.
bool TerminateProcessById(uint32_t id, uint32_t* error = nullptr);

// Appends one entry per running process that can be opened for query and read:
// the full path of its main module, with its id. The list is not cleared first.
void GetProcessPathList(std::vector<NamedId>& list);

// Clears `list` and adds one entry per running process: the name the platform
// reports (a bare name on the NT family; callers take the name part before
// comparing), with its id.
void GetProcessNameList(std::vector<NamedId>& list);

// Terminates the first running process whose main-module path equals `path`
// without regard to letter case. True when no process has that path, else the
// result of TerminateProcessById; false if anything fails on the way.
bool KillProcessByPath(const std::string& path);

}  // namespace vermilax
