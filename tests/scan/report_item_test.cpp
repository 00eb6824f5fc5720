#include "scan/report_item.h"

#include <gtest/gtest.h>

namespace vermilax {
namespace {

TEST(ModuleFinding, DisplayNameAndKindFollowModuleKindAndStatus) {
  const struct {
    uint8_t kind;
    uint8_t status;
    const char* display;
    uint8_t verdict;
  } kCases[] = {
      {kUnitActiveX, 1, "Trojan.ActiveX: Foo", kFindingThreat},
      {kUnitActiveX, 3, "Suspicious.ActiveX: Foo", kFindingSuspicious},
      {kUnitBHO, 1, "Trojan.BHO: Foo", kFindingThreat},
      {kUnitBHO, 0, "Suspicious.BHO: Foo", kFindingSuspicious},
      {kUnitService, 1, "Trojan.Service: Foo", kFindingThreat},
      {kUnitService, 2, "Suspicious.Service: Foo", kFindingSuspicious},
      // Start-up entries read "Threat." whatever their status; only the verdict differs.
      {kUnitStartup, 1, "Threat.Startup-Foo", kFindingThreat},
      {kUnitStartup, 3, "Threat.Startup-Foo", kFindingSuspicious},
      {7, 1, "Foo", kFindingThreat},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ModuleFindingDisplayName(c.kind, c.status, "Foo"), c.display) << int(c.kind) << "/" << int(c.status);
    EXPECT_EQ(ModuleFindingKind(c.status), c.verdict) << int(c.status);
  }
}

TEST(NameTables, GiveTheFixedWordsAndNothingOutOfRange) {
  const char* sources[] = {"General", "Service", "BHO", "ActiveX", "Startup"};
  for (uint8_t i = 0; i < 5; ++i) EXPECT_EQ(SourceName(i), sources[i]);
  EXPECT_EQ(SourceName(5), "");
  const char* statuses[] = {"Unknown", "Threat", "Secure", "Suspicious"};
  for (uint8_t i = 0; i < 4; ++i) EXPECT_EQ(UnitStatusName(i), statuses[i]);
  EXPECT_EQ(UnitStatusName(4), "");
  EXPECT_EQ(UnitStatusName(255), "");
}

}  // namespace
}  // namespace vermilax
