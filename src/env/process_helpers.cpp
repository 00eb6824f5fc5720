#include "env/process_helpers.h"

#include "env/ansi_case.h"
#include "platform/processes.h"

namespace vermilax {

bool TerminateProcessById(uint32_t id, uint32_t* error) {
  uint32_t code = 0;
  bool ok = platform::TerminateProcessById(id, code);
  if (error) *error = code;
  return ok;
}

void GetProcessPathList(std::vector<NamedId>& list) {
  for (auto& entry : platform::ListProcessPaths()) list.push_back(NamedId{std::move(entry.path), entry.id});
}

void GetProcessNameList(std::vector<NamedId>& list) {
  list.clear();
  for (auto& entry : platform::ListProcessNames()) list.push_back(NamedId{std::move(entry.path), entry.id});
}

bool KillProcessByPath(const std::string& path) {
  try {
    std::vector<NamedId> processes;
    GetProcessPathList(processes);
    std::string wanted = LowerCaseAnsi(path);
    for (const NamedId& process : processes)
      if (LowerCaseAnsi(process.name) == wanted) return TerminateProcessById(process.id);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace vermilax
