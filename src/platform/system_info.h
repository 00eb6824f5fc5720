#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vermilax::platform {

// The platform families GetVersionEx distinguishes; `Other` is a build that is
// not Windows at all and describes itself in `ProductName` and `Version`.
enum class OsFamily { Win32s, Windows9x, WindowsNT, Other };

struct OsVersion {
  OsFamily Family = OsFamily::Other;
  uint32_t BuildNumber = 0;  // as reported; on the 9x family the high word holds major.minor
  std::string ServicePack;   // as reported, untrimmed
  std::string ProductName;   // Other only
  std::string Version;       // Other only
};

// Total physical memory in bytes as the basic memory status reports it: a 32-bit
// count, so machines with 4 GiB or more report 0xFFFFFFFF.
uint32_t TotalPhysicalMemory();

OsVersion ReadOsVersion();

// Name of this computer, or nullopt when it cannot be read.
std::optional<std::string> ComputerName();
// Name of the user running the program, or nullopt when it cannot be read.
std::optional<std::string> UserName();

// The processor as a system without a processor registry key describes it.
struct ProcessorDescription {
  std::string Name;
  std::string Vendor;
  std::string Identifier;
};
// Windows keeps this in the registry and answers nullopt here.
std::optional<ProcessorDescription> ProcessorFromSystem();

}  // namespace vermilax::platform
