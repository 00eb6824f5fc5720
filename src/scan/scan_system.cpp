// The real system behind a scan.
#include "net/reports.h"
#include "platform/processes.h"
#include "platform/trust.h"
#include "scan/scan_roots.h"
#include "scan/scan_thread.h"

namespace vermilax {

ScanSystem SystemScanServices() {
  ScanSystem system;
  system.processPaths = [] {
    std::vector<NamedId> processes;
    GetProcessPathList(processes);
    return processes;
  };
  system.terminateProcess = [](uint32_t id) { return TerminateProcessById(id); };
  system.isTrusted = platform::IsFileTrusted;
  system.standardRoots = StandardScanRoots;
  system.sendAfterScanReport = SendAfterScanReport;
  system.ownProcessId = platform::CurrentProcessId();
  return system;
}

}  // namespace vermilax
