#include "scan/report_item.h"

#include <array>

namespace vermilax {
namespace {

constexpr std::array<std::string_view, 5> kSourceNames = {"General", "Service", "BHO", "ActiveX", "Startup"};
constexpr std::array<std::string_view, 4> kUnitStatusNames = {"Unknown", "Threat", "Secure", "Suspicious"};

struct DisplayPrefixes {
  std::string_view threat;
  std::string_view other;
};
// Indexed by UnitKind.
constexpr std::array<DisplayPrefixes, 4> kDisplayPrefixes = {{
    {"Trojan.BHO: ", "Suspicious.BHO: "},
    {"Threat.Startup-", "Threat.Startup-"},
    {"Trojan.ActiveX: ", "Suspicious.ActiveX: "},
    {"Trojan.Service: ", "Suspicious.Service: "},
}};

}  // namespace

std::string_view SourceName(uint8_t source) {
  return source < kSourceNames.size() ? kSourceNames[source] : std::string_view();
}

std::string_view UnitStatusName(uint8_t status) {
  return status < kUnitStatusNames.size() ? kUnitStatusNames[status] : std::string_view();
}

std::string ModuleFindingDisplayName(uint8_t kind, uint8_t status, std::string_view name) {
  if (kind >= kDisplayPrefixes.size()) return std::string(name);
  const DisplayPrefixes& prefixes = kDisplayPrefixes[kind];
  std::string result(status == kUnitThreat ? prefixes.threat : prefixes.other);
  result += name;
  return result;
}

uint8_t ModuleFindingKind(uint8_t status) {
  return status == kUnitThreat ? kFindingThreat : kFindingSuspicious;
}

}  // namespace vermilax
