// The stages of a scan that look at the running system rather than at folders:
// running programs, three registry policies malware sets, and known-malware places.
#include <exception>

#include "engine/checker.h"
#include "env/text_utils.h"
#include "platform/registry.h"
#include "scan/place_database.h"
#include "scan/scan_thread.h"

namespace vermilax {
namespace {

struct Hijack {
  const char* key;
  const char* value;
  const char* message;
};

// Policies that switch off Windows' own tools; a value of any type counts.
constexpr Hijack kHijacks[] = {
    {"Control Panel\\don't load", "wscui.cpl", "Hijack.WindowsSecurity - fixed"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr", "Hijack.TaskManager - fixed"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegistryTools",
     "Hijack.Registry - fixed"},
};

std::string TerminatedMessage(uint32_t id, const std::string& path, const std::string& threatName) {
  return "Memory:process " + std::to_string(id) + " " + ExtractNameFromPath(path) + " (" + threatName +
         ") - terminated";
}

}  // namespace

void ScanThread::ScanMemory() {
  const std::vector<NamedId> processes = system_.processPaths ? system_.processPaths() : std::vector<NamedId>();
  for (const NamedId& process : processes) {
    try {
      CheckResult result;
      try {
        result = checker_.CheckFile(process.name);
      } catch (...) {
        result = CheckResult();
      }
      ++memory_items_;
      target_ = process.name;
      Raise(Handlers.OnMemoryProgress, memory_items_, target_);
      if (result.verdict == Verdict::Clean) continue;
      // Ending its own process would end the scan without a log; the finding is
      // reported all the same.
      if (process.id != system_.ownProcessId) {
        if (system_.terminateProcess) system_.terminateProcess(process.id);
        PostAction(TerminatedMessage(process.id, process.name, result.threatName));
      }
      ReportJudgedFinding(result, process.name);
    } catch (...) {
      // the next process follows
    }
  }
}

void ScanThread::FixRegistryHijacks() {
  using namespace platform;
  try {
    for (const Hijack& hijack : kHijacks) {
      if (!registry::KeyExists(Hive::CurrentUser, hijack.key, registry::KeyAccess::Full)) continue;
      if (registry::KindOf(Hive::CurrentUser, hijack.key, hijack.value) == ValueKind::None) continue;
      PostAction(hijack.message);
      registry::DeleteValue(Hive::CurrentUser, hijack.key, hijack.value);
    }
  } catch (...) {
    // a failing repair ends the stage without a word
  }
}

void ScanThread::CheckPlaces() {
  if (!places_) return;
  PlaceChecks checks;
  checks.isWhiteListed = [this](const std::string& path) { return checker_.IsFileWhiteListed(path); };
  checks.isTrusted = [this](const std::string& path) { return system_.isTrusted && system_.isTrusted(path); };
  checks.onFinding = [this](const std::string& name, const std::string& path) {
    // A place finding names the file by where it is; its digest and size are not taken.
    ReportFinding(kFindingThreat, name, path);
  };
  vermilax::CheckPlaces(*places_, checks);
}

}  // namespace vermilax
