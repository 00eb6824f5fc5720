#include "env/folders.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace vermilax {

std::string GetTempDir() { return platform::TempFolder(); }

std::string GetWindowsDir() { return platform::WindowsFolder(); }

std::string GetSystemDir() { return platform::SystemFolder(); }

std::string GetProgramFilesDir() {
  return platform::registry::ReadString(platform::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                        "ProgramFilesDir")
      .value_or(std::string());
}

std::string GetSpecialFolderPath(int csidl) { return platform::SpecialFolderPath(csidl); }

}  // namespace vermilax
