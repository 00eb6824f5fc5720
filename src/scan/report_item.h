#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "modules/unit_info.h"

namespace vermilax {


// Where a finding came from, as the scan log names it.
enum FindingSource : uint8_t {
  kSourceGeneral = 0,  // files, processes and places
  kSourceService = 1,
  kSourceBHO = 2,
  kSourceActiveX = 3,
  kSourceStartup = 4,
};

// Verdict codes a finding carries: 0 Threat, 1 Suspicious, 3 Error (2, Clean,
// never makes a finding).
inline constexpr uint8_t kFindingThreat = 0;
inline constexpr uint8_t kFindingSuspicious = 1;

// One finding of a scan. Owns its texts, not the module record.
class ReportItem {
 public:
  const std::string& FileName() const { return file_name_; }
  const std::string& ThreatName() const { return threat_name_; }
  uint8_t Kind() const { return kind_; }
  const UnitInfo* Module() const { return module_; }

  void SetFileName(std::string fileName) { file_name_ = std::move(fileName); }
  void SetThreatName(std::string threatName) { threat_name_ = std::move(threatName); }
  void SetKind(uint8_t kind) { kind_ = kind; }
  void SetModule(const UnitInfo* module) { module_ = module; }

  // MD5 of the file as 32 upper-case hexadecimal digits, as the checker gave it.
  std::string Digest;
  // Size in bytes as the checker gave it: 0 for a missing file, -1 from 2 GiB on.
  int32_t FileSize = 0;

 private:
  std::string file_name_;
  std::string threat_name_;
  uint8_t kind_ = kFindingThreat;
  const UnitInfo* module_ = nullptr;
};

// "General", "Service", "BHO", "ActiveX", "Startup"; empty for other codes.
std::string_view SourceName(uint8_t source);
// Names of the module statuses: "Unknown", "Threat", "Secure", "Suspicious";
// empty for other codes.
std::string_view UnitStatusName(uint8_t status);

// The threat name a module finding is listed under, e.g. "Trojan.BHO: " + name
// for a threat and "Suspicious.BHO: " + name otherwise; start-up entries read
// "Threat.Startup-" + name either way. An unknown kind gives the bare name.
std::string ModuleFindingDisplayName(uint8_t kind, uint8_t status, std::string_view name);
// The verdict a module finding is listed with: Threat for the status Threat,
// Suspicious for every other status.
uint8_t ModuleFindingKind(uint8_t status);

}  // namespace vermilax
