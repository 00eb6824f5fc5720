#include "cli/scan_output.h"

#include <nlohmann/json.hpp>

#include "engine/verdict.h"
#include "platform/text_encoding.h"

namespace vermilax::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

std::string VerdictWord(uint8_t verdict) { return std::string(VerdictName(Verdict(verdict))); }

// One object per line; bytes that are not UTF-8 (a name in another code
// page) become the replacement character rather than an exception.
void WriteLine(std::ostream& out, const Json& object) {
  out << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

void ScanOutput::Finding(const ScanFinding& finding) {
  if (!json_) {
    out_ << finding.path << ": " << finding.name << " (" << VerdictWord(finding.verdict) << ")\n";
    return;
  }
  WriteLine(out_, Json{{"type", "finding"},
                       {"path", Utf8(finding.path)},
                       {"name", Utf8(finding.name)},
                       {"verdict", VerdictWord(finding.verdict)},
                       {"source", finding.source}});
}

void ScanOutput::Summary(const ScanSummary& summary) {
  if (!json_) {
    // The first closing line is the log's empty separator line.
    for (size_t i = 1; i < summary.closingLines.size(); ++i) out_ << summary.closingLines[i] << '\n';
    return;
  }
  Json lines = Json::array();
  for (size_t i = 1; i < summary.closingLines.size(); ++i) lines.push_back(summary.closingLines[i]);
  WriteLine(out_, Json{{"type", "summary"},
                       {"infected", summary.infected},
                       {"findings", summary.findings},
                       {"files_scanned", summary.filesScanned},
                       {"seconds", summary.seconds},
                       {"stopped", summary.stopped},
                       {"log", summary.logPath.empty() ? Json(nullptr) : Json(Utf8(summary.logPath))},
                       {"closing_lines", lines}});
}

}  // namespace vermilax::cli
