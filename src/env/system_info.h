#pragma once
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/system_info.h"

// Texts that describe the machine in the about box and the scan report header.
// None of them raises; unreadable facts give empty texts or the fallbacks noted.
namespace vermilax {

// The processor registry key's "ProcessorNameString", else "VendorIdentifier"
// [+ " - " + "Identifier"], else "Unknown processor". A system without that
// key describes its processor itself under the same rules.
std::string GetProcessorName();
// Total physical memory in MiB, rounded half to even, + " Mb".
std::string GetMemoryText();
// Product name + " (version " + version + ")".
std::string GetWindowsName();
std::string GetBuildNumberText();
std::string GetServicePackText();
// Empty when unreadable.
std::string GetComputerNameText();
// "Unknown" when unreadable.
std::string GetUserNameText();

// The system lines of the about box: "%s, %s RAM\r%s\rBuild %s %s" of processor,
// memory, Windows name, build number and service pack.
std::string GetAboutSystemText();

// The rules behind the functions above, for any processor key, memory size or version.
inline constexpr char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
std::string ProcessorNameFromRegistry(platform::Hive hive, const std::string& key);
std::string FormatMemoryText(uint32_t total_bytes);
std::string WindowsNameFor(const platform::OsVersion& os);
std::string BuildNumberTextFor(const platform::OsVersion& os);

}  // namespace vermilax
