#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vermilax::platform {

struct ProcessEntry {
  uint32_t id = 0;
  std::string path;  // full path of the main module; empty when it cannot be read
};

// Every running process the caller may open for query and read, with its main module path.
std::vector<ProcessEntry> ListProcessPaths();
// Every running process with the bare name the platform reports (NT family rules:
// ids 0, 2 and 8 and empty names are left out).
std::vector<ProcessEntry> ListProcessNames();
// Terminates with exit code 0. On failure returns false and `error` holds the system's code.
bool TerminateProcessById(uint32_t id, uint32_t& error);
// Starts the command line and waits for it to end; false when it cannot be started.
bool RunAndWait(const std::string& command_line);
uint32_t CurrentProcessId();

}  // namespace vermilax::platform
