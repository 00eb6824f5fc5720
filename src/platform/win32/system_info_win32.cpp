// System description through the Win32 calls of the NT and 9x families.
#include <windows.h>

#include "platform/system_info.h"

namespace vermilax::platform {

uint32_t TotalPhysicalMemory() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  // A 64-bit build sees wider counts; keep the 32-bit program's contract.
  return status.dwTotalPhys > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(status.dwTotalPhys);
}

OsVersion ReadOsVersion() {
  OsVersion os;
  os.Family = OsFamily::WindowsNT;
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return os;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s: os.Family = OsFamily::Win32s; break;
    case VER_PLATFORM_WIN32_WINDOWS: os.Family = OsFamily::Windows9x; break;
    default: os.Family = OsFamily::WindowsNT; break;
  }
  os.BuildNumber = info.dwBuildNumber;
  os.ServicePack = std::string(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
  return os;
}

std::optional<std::string> ComputerName() {
  char buffer[257] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) return std::nullopt;
  return std::string(buffer);
}

std::optional<std::string> UserName() {
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  if (!GetUserNameA(buffer, &size)) return std::nullopt;
  // The reported size counts the terminating zero; the text ends before it.
  return std::string(buffer);
}

std::optional<ProcessorDescription> ProcessorFromSystem() { return std::nullopt; }

}  // namespace vermilax::platform
