#pragma once
#include <string>
#include <string_view>

namespace vermilax {

// Addresses of the two report pages, from the build configuration.
std::string AfterScanReportAddress();
std::string FalsePositiveReportAddress();

// address + "?data=" + the report text + "&ver=" + the file version. Every CR of
// the text becomes "<br>"; then the text and the version are percent-encoded
// (every byte but letters, digits and "-._~"), so the server decodes exactly
// the text with its "<br>" marks, whatever characters it holds.
std::string BuildReportUrl(std::string_view address, std::string_view reportText, std::string_view fileVersion);

// Sends a report text to `address`; true when the transfer succeeded. Never throws.
bool SendReport(const std::string& address, std::string_view reportText);

// The report at the end of a scan; its outcome is of no interest to anyone.
void SendAfterScanReport(std::string_view reportText);
// The user's report of a wrong detection; true when it was delivered.
bool SendFalsePositiveReport(std::string_view reportText);

}  // namespace vermilax
