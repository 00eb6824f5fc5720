#include "scan/scan_log.h"

#include <iterator>
#include <string_view>

#include "engine/checker.h"
#include "engine/pe_scanner_ex.h"
#include "engine/verdict.h"
#include "env/timestamp.h"
#include "platform/files.h"
#include "scan/report_item.h"

namespace vermilax {
namespace {

constexpr uint8_t kVerdictError = 3;

std::string_view VerdictText(uint8_t verdict) {
  return verdict < std::size(VerdictNames) ? VerdictNames[verdict] : std::string_view();
}

std::string Describe(const DescribeFunction& describe, const std::string& path) {
  return describe ? describe(path) : DescribeFile(path);
}

std::string HeaderLine(uint8_t source, const std::string& path) {
  return "----- " + path + " ---- " + std::string(SourceName(source));
}

// Three CR LF pairs, the header line, then the tab-separated status, name and summary.
std::string ReportPiece(const std::string& header, std::string_view status, const std::string& name,
                        const std::string& summary) {
  std::string piece = "\r\n\r\n\r\n" + header;
  piece += '\t';
  piece += status;
  piece += '\t' + name + '\t' + summary + "\r\n";
  return piece;
}

// A log line indented by one tab.
std::string Indented(std::string_view text) {
  std::string line(1, '\t');
  line += text;
  return line;
}

bool IsSeparator(char c) { return c == platform::PathSeparator() || c == '/'; }

// The path without its last name and the separators before it; a lone leading
// separator (the root) stays.
std::string ParentFolder(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// `name` inside `folder`, with one separator between them.
std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + platform::PathSeparator() + name;
}

}  // namespace

FindingBlock MakeFindingBlock(uint8_t verdict, const std::string& name, uint8_t source, const std::string& path,
                              const DescribeFunction& describe) {
  FindingBlock block;
  const std::string header = HeaderLine(source, path);
  block.LogLines = {header, Indented(name)};
  if (verdict == kVerdictError) return block;
  const std::string summary = Describe(describe, path);
  block.LogLines.push_back(summary);
  block.LogLines.emplace_back();
  block.ReportPiece = ReportPiece(header, VerdictText(verdict), name, summary);
  return block;
}

FindingBlock MakeModuleFindingBlock(uint8_t status, const std::string& name, uint8_t source, const std::string& path,
                                    const DescribeFunction& describe) {
  FindingBlock block;
  const std::string header = HeaderLine(source, path);
  const std::string_view status_name = UnitStatusName(status);
  const std::string summary = Describe(describe, path);
  block.LogLines = {header, Indented(status_name), Indented(name), summary, ""};
  block.ReportPiece = ReportPiece(header, status_name, name, summary);
  return block;
}

std::string DurationText(int64_t seconds) {
  int64_t s = seconds < 0 ? 0 : seconds, m = 0, h = 0;
  // Exactly 60 seconds stays in the seconds form, exactly 60 minutes in the minute form.
  if (s > 60) {
    m = s / 60;
    s %= 60;
  }
  if (m > 60) {
    h = m / 60;
    m %= 60;
  }
  const std::string prefix = "Scan completed in ";
  if (h > 0)
    return prefix + std::to_string(h) + " hour(s) " + std::to_string(m) + " min. " + std::to_string(s) + " sec.";
  if (m > 0) return prefix + std::to_string(m) + " minute(s) " + std::to_string(s) + " sec.";
  return prefix + std::to_string(s) + " seconds";
}

std::vector<std::string> ClosingLines(int32_t infected, int64_t seconds, int32_t filesScanned) {
  return {
      "",
      "Scan result:         " + std::to_string(infected) + " infected files",
      "Scan completed in:   " + DurationText(seconds),
      "Files were scanned:  " + std::to_string(filesScanned),
  };
}

std::string LogFileName(const platform::LocalTime& time) { return "scan-" + FormatTimestamp(time) + ".log"; }

bool CreateFolderWithParents(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  if (path.empty()) return false;
  // Climb to the nearest folder that exists, then create the missing ones downwards.
  std::vector<std::string> missing;
  while (!platform::FolderExists(path)) {
    missing.push_back(path);
    std::string parent = ParentFolder(path);
    if (parent.empty() || parent == path) break;
    path = std::move(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!platform::CreateFolder(*it)) return false;
  }
  return true;
}

std::string ScanLogFolder(const std::string& programFolder) { return InFolder(programFolder, "logs"); }

bool WriteScanLog(const std::string& logFolder, const std::string& fileName, const std::vector<std::string>& lines) {
  try {
    if (!CreateFolderWithParents(logFolder)) return false;
    std::string text;
    for (const std::string& line : lines) {
      text += line;
      text += "\r\n";
    }
    return platform::WriteWholeFile(InFolder(logFolder, fileName), text);
  } catch (...) {
    return false;  // out of memory: the scan's results must still be shown
  }
}

std::string CloseScanLog(Checker& checker, int32_t infected, int64_t seconds, int32_t filesScanned,
                         const std::string& logFolder) {
  for (const std::string& line : ClosingLines(infected, seconds, filesScanned)) checker.AddLogLine(line);
  const std::string name = LogFileName(platform::CurrentLocalTime());
  return WriteScanLog(logFolder, name, checker.LogLines()) ? InFolder(logFolder, name) : std::string();
}

}  // namespace vermilax
