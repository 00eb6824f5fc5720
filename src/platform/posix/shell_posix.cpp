// Shell folders natively: stand-ins under the home folder and configurable
// Windows and system folders.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/posix/shell_folders.h"
#include "platform/shell.h"

namespace vermilax::platform {
namespace {

std::mutex folders_mutex;
std::string windows_override, system_override;

std::string FromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return WithoutTrailingSlash(home);
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return WithoutTrailingSlash(entry->pw_dir);
  return std::string();
}

}  // namespace

void SetWindowsFoldersForTests(const std::string& windows_folder, const std::string& system_folder) {
  std::lock_guard lock(folders_mutex);
  windows_override = windows_folder;
  system_override = system_folder;
}

std::string WindowsFolder() {
  {
    std::lock_guard lock(folders_mutex);
    if (!windows_override.empty()) return WithoutTrailingSlash(windows_override);
  }
  return WithoutTrailingSlash(FromEnvironment("VERMILAX_WINDIR", "/var/lib/vermilax/windows"));
}

std::string SystemFolder() {
  {
    std::lock_guard lock(folders_mutex);
    if (!system_override.empty()) return WithoutTrailingSlash(system_override);
  }
  return WithoutTrailingSlash(FromEnvironment("VERMILAX_SYSDIR", WindowsFolder() + "/system32"));
}

std::string SpecialFolderPath(int csidl) {
  struct Mapping {
    int csidl;
    bool under_home;
    const char* path;
  };
  static const Mapping kMappings[] = {
      {kCsidlDesktop, true, "/Desktop"},
      {kCsidlDesktopDirectory, true, "/Desktop"},
      {kCsidlPrograms, true, "/.local/share/applications"},
      {kCsidlStartMenu, true, "/.local/share/applications"},
      {kCsidlPersonal, true, "/Documents"},
      {kCsidlMyPictures, true, "/Pictures"},
      {kCsidlStartup, true, "/.config/autostart"},
      {kCsidlAppData, true, "/.config"},
      {kCsidlLocalAppData, true, "/.local/share"},
      {kCsidlInternetCache, true, "/.cache"},
      {kCsidlProfile, true, ""},
      {kCsidlCommonStartMenu, false, "/usr/share/applications"},
      {kCsidlCommonPrograms, false, "/usr/share/applications"},
      {kCsidlCommonStartup, false, "/etc/xdg/autostart"},
      {kCsidlCommonAppData, false, "/var/lib"},
      {kCsidlProgramFiles, false, "/opt"},
      {kCsidlProgramFilesCommon, false, "/usr/local/share"},
  };
  int folder = csidl & 0xFF;  // the high bits are request flags (create, no verify)
  if (folder == kCsidlWindows) return WindowsFolder();
  if (folder == kCsidlSystem) return SystemFolder();
  for (const Mapping& m : kMappings) {
    if (m.csidl != folder) continue;
    if (!m.under_home) return m.path;
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + m.path;
  }
  return std::string();
}

}  // namespace vermilax::platform
