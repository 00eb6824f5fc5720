#pragma once
#include <cstdint>
#include <string>

namespace vermilax {

struct VirusItem;  // a module-database record; owned by its database

// How a module was classified.
enum UnitStatus : uint8_t {
  kUnitUnknown = 0,
  kUnitThreat = 1,
  kUnitSecure = 2,
  kUnitSuspicious = 3,
};

// Which collector produced a module record.
enum UnitKind : uint8_t {
  kUnitBHO = 0,
  kUnitStartup = 1,
  kUnitActiveX = 2,
  kUnitService = 3,
};

// One module Windows starts by itself: a start-up entry, a browser helper
// object, a service or an ActiveX component. Owned by its collector.
struct UnitInfo {
  std::string Name;      // value name, class text or service name
  std::string Key;       // class id with braces (ActiveX, BHO); else empty
  std::string FileName;  // the module's file; later the resolved path
  std::string Version;
  std::string Vendor;
  std::string Comments;
  uint8_t Status = kUnitUnknown;
  const VirusItem* DBItem = nullptr;  // the database record that matched, or none
  uint8_t Kind = kUnitBHO;
  uint32_t RootKey = 0;  // start-up entries: the run key's root
  std::string RegPath;
};

}  // namespace vermilax
