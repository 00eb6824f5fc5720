#pragma once
// What vermilax-cli scan prints on standard output: one line or JSON object
// per finding, then the closing lines of the scan log (or a summary object).
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vermilax::cli {

struct ScanFinding {
  std::string path;
  std::string name;      // the threat name, or the display name of a module finding
  uint8_t verdict = 0;   // 0 Threat, 1 Suspicious, 3 Error
  std::string source;    // "General", "Startup", "BHO", "Service", "ActiveX"
};

struct ScanSummary {
  int32_t infected = 0;      // threats and suspicious findings
  int32_t findings = 0;      // every finding, errors included
  int32_t filesScanned = 0;
  int64_t seconds = 0;
  bool stopped = false;      // Ctrl-C
  std::string logPath;       // empty when the log could not be written
  std::vector<std::string> closingLines;
};

class ScanOutput {
 public:
  ScanOutput(std::ostream& out, bool json) : out_(out), json_(json) {}
  // "PATH: NAME (VERDICT)", or {"type":"finding",...}.
  void Finding(const ScanFinding& finding);
  // The three closing lines, or {"type":"summary",...}.
  void Summary(const ScanSummary& summary);

 private:
  std::ostream& out_;
  bool json_;
};

}  // namespace vermilax::cli
