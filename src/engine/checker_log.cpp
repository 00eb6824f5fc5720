// The scan log header and the database statistics.
#include <cstdio>

#include "engine/checker.h"
#include "env/app_info.h"
#include "env/system_info.h"
#include "platform/local_time.h"

namespace vermilax {
namespace {

std::string CountLine(const char* format, const std::string& text, int32_t count) {
  char line[256];
  std::snprintf(line, sizeof line, format, text.c_str(), int(count));
  return line;
}

std::string CountLine(const char* format, int32_t count) {
  char line[128];
  std::snprintf(line, sizeof line, format, int(count));
  return line;
}

}  // namespace

void Checker::StartLog() {
  checked_files_.Clear();
  const AppInfo& app = GetAppInfo();
  std::vector<std::string> header = {
      "",
      app.ProductName + " v." + app.FileVersion,
      "Report file date: " + platform::FormatLocalDateTime(),
      "",
      CountLine("Scanning for %d virus strains and unwanted programs.", StrongSignatureCount()),
      "",
      "Windows version:  " + GetWindowsName(),
      "Username:         " + GetUserNameText(),
      "Computer name:    " + GetComputerNameText(),
      "",
      "Starting the file scan:",
      "",
  };
  std::lock_guard<std::mutex> lock(log_mutex_);
  log_lines_ = std::move(header);
}

void Checker::AddLogLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(log_mutex_);
  log_lines_.push_back(line);
}

std::vector<std::string> Checker::LogLines() const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  return log_lines_;
}

std::string Checker::GetDatabaseStatistics() const {
  std::string text;
  text += CountLine("heur.b - heuristic rules: [%d]", heuristics_.Count()) + '\r';
  text += CountLine("md.c - strong signatures: [%d]", md5_main_.Count() + md5_add_on_.Count()) + '\r';
  text += CountLine("rico.c - resource signatures: [%d]", icon_signatures_.Count()) + '\r';
  if (section_signatures_.Count() > 0)
    text += CountLine("smd.c - sections signatures: [%d]", section_signatures_.Count()) + '\r';
  if (deep_signatures_.Count() > 0)
    text += CountLine("vs.c - deep scan signatures: [%d]", deep_signatures_.Count()) + '\r';
  text += CountLine("wl.c - white list: [%d]", white_list_.Count()) + '\r';
  for (const auto& set : packer_sets_) text += CountLine("%s.z - headers: [%d]", set->Name(), set->Count()) + '\r';
  return text;
}

}  // namespace vermilax
