// System description on POSIX systems: the kernel's /proc files, os-release and uname.
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/system_info.h"
#include "platform/system_text.h"

namespace vermilax::platform {
namespace {

// These files are a few kilobytes; the cap keeps a strange one from growing memory.
constexpr size_t kMaxTextFile = 1 << 20;

std::optional<std::string> ReadTextFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (text.size() < kMaxTextFile && in.read(buffer, sizeof buffer).gcount() > 0)
    text.append(buffer, size_t(in.gcount()));
  return text;
}

// The same limits as the Windows calls' buffers.
constexpr size_t kMaxComputerName = 256;
constexpr size_t kMaxUserName = 255;

}  // namespace

uint32_t TotalPhysicalMemory() {
  if (std::optional<std::string> meminfo = ReadTextFile("/proc/meminfo")) {
    if (uint32_t bytes = MemTotalBytes(*meminfo)) return bytes;
  }
  long pages = ::sysconf(_SC_PHYS_PAGES), page_size = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  uint64_t bytes = uint64_t(pages) * uint64_t(page_size);
  return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(bytes);
}

OsVersion ReadOsVersion() {
  OsVersion os;
  os.Family = OsFamily::Other;
  struct utsname names {};
  bool have_uname = ::uname(&names) == 0;
  std::optional<std::string> release = ReadTextFile("/etc/os-release");
  if (!release) release = ReadTextFile("/usr/lib/os-release");
  if (release) {
    os.ProductName = OsReleaseField(*release, "PRETTY_NAME").value_or("");
    if (os.ProductName.empty()) os.ProductName = OsReleaseField(*release, "NAME").value_or("");
    os.Version = OsReleaseField(*release, "VERSION_ID").value_or("");
  }
  if (have_uname) {
    if (os.ProductName.empty()) os.ProductName = names.sysname;
    if (os.Version.empty()) os.Version = names.release;
    os.BuildNumber = KernelPatchLevel(names.release);
  }
  return os;
}

std::optional<std::string> ComputerName() {
  char buffer[kMaxComputerName + 1] = {};
  if (::gethostname(buffer, kMaxComputerName) != 0) return std::nullopt;
  return std::string(buffer);
}

std::optional<std::string> UserName() {
  std::string name;
  if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) name = entry->pw_name;
  if (name.empty()) {
    if (const char* logname = std::getenv("LOGNAME")) name = logname;
  }
  if (name.empty()) return std::nullopt;
  return name.substr(0, kMaxUserName);
}

std::optional<ProcessorDescription> ProcessorFromSystem() {
  std::optional<std::string> cpuinfo = ReadTextFile("/proc/cpuinfo");
  if (!cpuinfo) return std::nullopt;
  ProcessorDescription cpu;
  cpu.Name = ColonField(*cpuinfo, "model name").value_or("");
  cpu.Vendor = ColonField(*cpuinfo, "vendor_id").value_or("");
  return cpu;
}

}  // namespace vermilax::platform
