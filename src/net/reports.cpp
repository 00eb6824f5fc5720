#include "net/reports.h"

#include "env/app_info.h"
#include "env/url_helpers.h"
#include "version.h"

namespace vermilax {
namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (unsigned char c : text) {
    if (IsUnreserved(c)) {
      encoded += char(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

}  // namespace

std::string AfterScanReportAddress() { return VERMILAX_AFTERSCAN_REPORT_URL; }

std::string FalsePositiveReportAddress() { return VERMILAX_FALSE_POSITIVE_REPORT_URL; }

std::string BuildReportUrl(std::string_view address, std::string_view reportText, std::string_view fileVersion) {
  std::string payload;
  payload.reserve(reportText.size());
  for (char c : reportText) {
    if (c == '\r') payload += "<br>";
    else payload += c;
  }
  std::string url(address);
  url += "?data=" + PercentEncode(payload) + "&ver=" + PercentEncode(fileVersion);
  return url;
}

bool SendReport(const std::string& address, std::string_view reportText) {
  try {
    return DownloadToCache(BuildReportUrl(address, reportText, GetAppInfo().FileVersion));
  } catch (...) {
    return false;
  }
}

void SendAfterScanReport(std::string_view reportText) { SendReport(AfterScanReportAddress(), reportText); }

bool SendFalsePositiveReport(std::string_view reportText) {
  return SendReport(FalsePositiveReportAddress(), reportText);
}

}  // namespace vermilax
