#include "cli/sysinfo_command.h"

#include "env/app_info.h"
#include "env/system_info.h"

namespace vermilax::cli {

int RunSysinfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    err << "vermilax-cli: sysinfo takes no arguments\n";
    return 2;
  }
  const AppInfo& app = GetAppInfo();
  const std::pair<const char*, std::string> lines[] = {
      {"Processor", GetProcessorName()},
      {"Memory", GetMemoryText()},
      {"Windows version", GetWindowsName()},
      {"Build", GetBuildNumberText()},
      {"Service pack", GetServicePackText()},
      {"Username", GetUserNameText()},
      {"Computer name", GetComputerNameText()},
      {"Product name", app.ProductName},
      {"Product version", app.ProductVersion},
      {"File version", app.FileVersion},
      {"Build number", std::to_string(app.BuildNumber)},
  };
  for (const auto& [label, value] : lines) {
    std::string heading = std::string(label) + ":";
    heading.resize(18, ' ');
    out << heading << value << '\n';
  }
  return 0;
}

}  // namespace vermilax::cli
