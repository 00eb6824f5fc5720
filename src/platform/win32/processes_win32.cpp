// Processes through the process-status service (NT family), Toolhelp snapshots
// (9x family), OpenProcess/TerminateProcess and CreateProcess.
#include <windows.h>
// After windows.h:
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/processes.h"

namespace vermilax::platform {
namespace {

bool IsWin9xFamily() { return (GetVersion() & 0x80000000u) != 0; }

std::vector<DWORD> ProcessIds(size_t room) {
  std::vector<DWORD> ids(room);
  DWORD bytes = 0;
  if (!EnumProcesses(ids.data(), DWORD(ids.size() * sizeof(DWORD)), &bytes)) return {};
  ids.resize(bytes / sizeof(DWORD));
  return ids;
}

// Calls `read` with the process's first module when the process opens for query
// and memory reads; the text it returns, or empty.
template <typename ReadName>
std::string MainModuleText(DWORD id, ReadName read) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (!process) return std::string();
  std::string result;
  HMODULE module = nullptr;
  DWORD needed = 0;
  if (EnumProcessModules(process, &module, sizeof module, &needed)) result = read(process, module);
  CloseHandle(process);
  return result;
}

std::vector<ProcessEntry> SnapshotNames() {
  std::vector<ProcessEntry> result;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return result;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    result.push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
  }
  CloseHandle(snapshot);
  return result;
}

}  // namespace

std::vector<ProcessEntry> ListProcessPaths() {
  std::vector<ProcessEntry> result;
  for (DWORD id : ProcessIds(1024)) {
    std::string path = MainModuleText(id, [](HANDLE process, HMODULE module) {
      char buffer[301];
      DWORD n = GetModuleFileNameExA(process, module, buffer, sizeof buffer);
      return std::string(buffer, n < sizeof buffer ? n : 0);
    });
    // A process whose module cannot be read (another bitness, no rights) is left
    // out: an empty path would make callers judge, and end, an unknown program.
    if (!path.empty()) result.push_back(ProcessEntry{id, path});
  }
  return result;
}

std::vector<ProcessEntry> ListProcessNames() {
  if (IsWin9xFamily()) return SnapshotNames();
  std::vector<ProcessEntry> result;
  for (DWORD id : ProcessIds(1025)) {
    if (id == 0 || id == 2 || id == 8) continue;  // the idle and system processes of the NT versions
    std::string name = MainModuleText(id, [](HANDLE process, HMODULE module) {
      char buffer[MAX_PATH];
      DWORD n = GetModuleBaseNameA(process, module, buffer, sizeof buffer);
      return std::string(buffer, n < sizeof buffer ? n : 0);
    });
    if (!name.empty()) result.push_back(ProcessEntry{id, name});
  }
  return result;
}

bool TerminateProcessById(uint32_t id, uint32_t& error) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  if (!process) {
    error = GetLastError();
    SetLastError(error);
    return false;
  }
  bool ok = TerminateProcess(process, 0) != 0;
  error = ok ? ERROR_SUCCESS : GetLastError();
  CloseHandle(process);
  // CloseHandle may overwrite it; the caller wants the failing call's code.
  SetLastError(error);
  return ok;
}

bool RunAndWait(const std::string& command_line) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string line = command_line;  // CreateProcessA may write into the buffer
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP,
                      nullptr, nullptr, &startup, &info))
    return false;
  WaitForSingleObject(info.hProcess, INFINITE);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace vermilax::platform
