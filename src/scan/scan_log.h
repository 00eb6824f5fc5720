#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/local_time.h"

namespace vermilax {

class Checker;

// The text a finding adds: lines for the scan log and a piece of the report text.
struct FindingBlock {
  std::vector<std::string> LogLines;
  std::string ReportPiece;
};

// Gives the technical summary of a file (DescribeFile by default).
using DescribeFunction = std::function<std::string(const std::string& path)>;

// Block of a file, process or place finding. An Error verdict (3) logs only the
// path and name lines, adds nothing to the report and does not describe the file.
FindingBlock MakeFindingBlock(uint8_t verdict, const std::string& name, uint8_t source, const std::string& path,
                              const DescribeFunction& describe = {});
// Block of a module finding: the module's status gets a log line of its own.
FindingBlock MakeModuleFindingBlock(uint8_t status, const std::string& name, uint8_t source, const std::string& path,
                                    const DescribeFunction& describe = {});

// "Scan completed in 59 seconds", "Scan completed in 2 minute(s) 5 sec.",
// "Scan completed in 1 hour(s) 1 min. 1 sec."; a negative duration counts as 0.
std::string DurationText(int64_t seconds);

// The lines that close a scan log: an empty line, the result, the duration and
// the number of files scanned.
std::vector<std::string> ClosingLines(int32_t infected, int64_t seconds, int32_t filesScanned);

// "scan-2009-07-18 [09-05-03].log" for a scan finished at that moment.
std::string LogFileName(const platform::LocalTime& time);

// The folder scan logs go to: "logs" inside `programFolder`.
std::string ScanLogFolder(const std::string& programFolder);

// Writes the lines, each followed by CR LF, to `fileName` in `logFolder`,
// creating missing folders and replacing an existing file. False on any
// failure; never throws.
bool WriteScanLog(const std::string& logFolder, const std::string& fileName, const std::vector<std::string>& lines);

// The owner's closing step of a finished scan: appends the closing lines to the
// checker's log and writes the whole log to `logFolder`, named after the current
// local time. The path written, or empty when the log could not be written (the
// scan's results stay as they are either way).
std::string CloseScanLog(Checker& checker, int32_t infected, int64_t seconds, int32_t filesScanned,
                         const std::string& logFolder);

// Creates `folder` and every missing folder above it; true when it exists afterwards.
bool CreateFolderWithParents(const std::string& folder);

}  // namespace vermilax
