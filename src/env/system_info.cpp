#include "env/system_info.h"

#include <optional>
#include <string_view>

#include "platform/registry.h"

namespace vermilax {
namespace {

using platform::Hive;

constexpr char kNtVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char k9xVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Characters 0 to 32 are dropped at both ends, as the text helpers do.
std::string Trim(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return std::string(text.substr(first, last - first));
}

// A registry string of the local machine; missing keys, missing values and
// values of other types read as empty, and stored terminating zeros are no text.
std::string ReadText(Hive hive, const std::string& key, const char* name) {
  std::string text = platform::registry::ReadString(hive, key, name).value_or("");
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string ReadMachineText(const char* key, const char* name) { return ReadText(Hive::LocalMachine, key, name); }

std::string DescribeProcessor(const std::string& name, const std::string& vendor, const std::string& identifier) {
  std::string trimmed_name = Trim(name);
  if (!trimmed_name.empty()) return trimmed_name;
  std::string trimmed_vendor = Trim(vendor);
  if (trimmed_vendor.empty()) return "Unknown processor";
  std::string trimmed_identifier = Trim(identifier);
  return trimmed_identifier.empty() ? trimmed_vendor : trimmed_vendor + " - " + trimmed_identifier;
}

}  // namespace

std::string ProcessorNameFromRegistry(Hive hive, const std::string& key) {
  return DescribeProcessor(ReadText(hive, key, "ProcessorNameString"), ReadText(hive, key, "VendorIdentifier"),
                           ReadText(hive, key, "Identifier"));
}

std::string GetProcessorName() {
  if (platform::registry::KeyExists(Hive::LocalMachine, kProcessorKey))
    return ProcessorNameFromRegistry(Hive::LocalMachine, kProcessorKey);
  platform::ProcessorDescription cpu = platform::ProcessorFromSystem().value_or(platform::ProcessorDescription{});
  return DescribeProcessor(cpu.Name, cpu.Vendor, cpu.Identifier);
}

std::string FormatMemoryText(uint32_t total_bytes) {
  constexpr uint32_t kMiB = 1u << 20;
  uint32_t whole = total_bytes / kMiB;
  uint32_t rest = total_bytes % kMiB;
  // Round to the nearest MiB; an exact half goes to the even neighbour.
  if (rest > kMiB / 2 || (rest == kMiB / 2 && whole % 2 == 1)) ++whole;
  return std::to_string(whole) + " Mb";
}

std::string GetMemoryText() { return FormatMemoryText(platform::TotalPhysicalMemory()); }

std::string WindowsNameFor(const platform::OsVersion& os) {
  std::string product, version;
  switch (os.Family) {
    case platform::OsFamily::WindowsNT:
      product = ReadMachineText(kNtVersionKey, "ProductName");
      version = ReadMachineText(kNtVersionKey, "CurrentVersion");
      break;
    case platform::OsFamily::Windows9x:
      product = ReadMachineText(k9xVersionKey, "ProductName");
      version = ReadMachineText(k9xVersionKey, "VersionNumber");
      break;
    case platform::OsFamily::Win32s:
      product = "Windows 3.1";
      break;
    case platform::OsFamily::Other:
      product = os.ProductName;
      version = os.Version;
      break;
  }
  return product + " (version " + version + ")";
}

std::string GetWindowsName() { return WindowsNameFor(platform::ReadOsVersion()); }

std::string BuildNumberTextFor(const platform::OsVersion& os) {
  // The 9x family keeps major and minor version in the high word.
  uint32_t build = os.Family == platform::OsFamily::Windows9x ? (os.BuildNumber & 0xFFFF) : os.BuildNumber;
  return std::to_string(build);
}

std::string GetBuildNumberText() { return BuildNumberTextFor(platform::ReadOsVersion()); }

std::string GetServicePackText() { return Trim(platform::ReadOsVersion().ServicePack); }

std::string GetComputerNameText() { return platform::ComputerName().value_or(""); }

std::string GetUserNameText() { return platform::UserName().value_or("Unknown"); }

std::string GetAboutSystemText() {
  return GetProcessorName() + ", " + GetMemoryText() + " RAM\r" + GetWindowsName() + "\rBuild " +
         GetBuildNumberText() + " " + GetServicePackText();
}

}  // namespace vermilax
