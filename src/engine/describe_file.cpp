// The file summary that the scan log prints under each finding.
#include <algorithm>
#include <exception>
#include <string>

#include "engine/md5.h"
#include "engine/pe_scanner_ex.h"

namespace vermilax {
namespace {

constexpr int kDescribedEntryPointBytes = 64;

void AppendHexByte(std::string& text, uint8_t byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  text += kDigits[byte >> 4];
  text += kDigits[byte & 15];
}

}  // namespace

std::string DescribeFile(const std::string& fileName, bool pauseBeforeAnalysis) {
  try {
    PEScannerEx scanner(fileName, pauseBeforeAnalysis);
    return DescribeFile(scanner);
  } catch (const std::exception&) {
    return std::string();
  }
}

std::string DescribeFile(PEScannerEx& scanner) {
  std::string text;
  try {
    ScanContext context;
    context.Options = kScanReportBroken | kScanChecker;
    if (!scanner.HasError()) scanner.Execute(&context);
    if (scanner.NumberOfSections() == 0) return text;

    text += "\tMD5: " + DigestToHex(scanner.Digest()) + ":" + std::to_string(scanner.FileSize()) + "\r\n";
    text += "\tEP:";
    const int shown = std::clamp(scanner.EntryPointBytesRead(), 0, kDescribedEntryPointBytes);
    for (int i = 0; i < shown; ++i) {
      text += ' ';
      AppendHexByte(text, scanner.EntryPointBuffer()[size_t(i)]);
    }
    text += "\r\n\tSEC:\r\n";
    for (const SectionInfo& s : scanner.Sections()) {
      text += "\t\t" + s.Name + ":" + DigestToHex(s.Digest) + ":" + std::to_string(s.AlignedRawSize) + "\r\n";
    }
  } catch (const std::exception&) {
    // The text built so far is the answer.
  }
  return text;
}

}  // namespace vermilax
