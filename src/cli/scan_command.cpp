// vermilax-cli scan: the scan thread driven from the command line.
#include "cli/scan_command.h"

#include <chrono>
#include <exception>
#include <memory>

#include "cli/cli_options.h"
#include "cli/progress_line.h"
#include "cli/scan_output.h"
#include "engine/checker.h"
#include "env/file_helpers.h"
#include "platform/console.h"
#include "platform/files.h"
#include "scan/notification_dispatcher.h"
#include "scan/place_database.h"
#include "scan/report_item.h"
#include "scan/scan_log.h"
#include "scan/scan_thread.h"
#include "scan/settings.h"
#include "scan/time_left.h"

namespace vermilax::cli {
namespace {

constexpr char kUsage[] =
    "usage: vermilax-cli scan [--db DIR] [--deep] [--no-heur] [--json] [--log-dir DIR] [--send-stats] "
    "[--standard] FOLDER...\n";

using Clock = std::chrono::steady_clock;

// The owner's side of one scan: shows progress and findings, counts them and
// takes the closing step when the worker is done.
class ScanSession {
 public:
  ScanSession(const ScanCommandOptions& options, Checker& checker, NotificationDispatcher& dispatcher,
              std::ostream& out, std::ostream& err)
      : options_(options), checker_(checker), dispatcher_(dispatcher), output_(out, options.json), err_(err),
        progress_(err, platform::StandardErrorColumns()) {}

  void Attach(ScanThread& thread) {
    ScanHandlers& h = thread.Handlers;
    h.OnScanStarted = [this](ScanThread&) { started_ = Clock::now(); };
    // Stage messages reach the log only through an assigned handler.
    h.OnStatus = [this](ScanThread& t, const std::string&) { ShowProgress(t); };
    h.OnAction = [this](ScanThread&, const std::string& text) { Action(text); };
    if (options_.progress) {
      // Each of these costs a hand-over per folder or file: only for someone watching.
      h.OnFolder = [this](ScanThread& t, const std::string&) { ShowProgress(t); };
      h.OnProgress = [this](ScanThread& t, const std::string&, int64_t processed, int64_t total, uint8_t) {
        if (processed % kTimeLeftInterval == 0)
          time_left_ = TimeLeftText(total, processed, std::chrono::duration<double>(Clock::now() - started_).count());
        ShowProgress(t);
      };
    }
    h.OnFound = [this](ScanThread&, const ReportItem& item) {
      Found({item.FileName(), item.ThreatName(), item.Kind(), std::string(SourceName(kSourceGeneral))});
    };
    h.OnStartupFound = ModuleHandler(kUnitStartup, kSourceStartup);
    h.OnBHOFound = ModuleHandler(kUnitBHO, kSourceBHO);
    h.OnServiceFound = ModuleHandler(kUnitService, kSourceService);
    h.OnActiveXFound = ModuleHandler(kUnitActiveX, kSourceActiveX);
    h.OnScanFinished = [this](ScanThread& t, int64_t) { Finish(t); };
  }

  // Runs the thread's notifications here until the scan is over.
  void Drive(ScanThread& thread, const std::function<bool()>& interrupted) {
    thread.Start();
    while (!finished_) {
      dispatcher_.WaitAndRun(std::chrono::milliseconds(50));
      if (!stopped_ && interrupted && interrupted()) {
        stopped_ = true;
        checker_.AddLogLine("Terminated by user");
        thread.Terminate();
      }
    }
    thread.WaitFor();
  }

  int ExitCode() const { return infected_ > 0 ? 1 : 0; }

 private:
  std::function<void(ScanThread&, UnitInfo&, int32_t)> ModuleHandler(uint8_t kind, uint8_t source) {
    return [this, kind, source](ScanThread&, UnitInfo& module, int32_t) {
      Found({module.FileName, ModuleFindingDisplayName(kind, module.Status, module.Name),
             ModuleFindingKind(module.Status), std::string(SourceName(source))});
    };
  }

  void ShowProgress(const ScanThread& thread) {
    if (options_.progress)
      progress_.Show(thread.Percent(), thread.Processed(), thread.Total(), time_left_, thread.Target());
  }

  void Found(const ScanFinding& finding) {
    progress_.Clear();
    output_.Finding(finding);
    ++findings_;
    if (finding.verdict == kFindingThreat || finding.verdict == kFindingSuspicious) ++infected_;
  }

  void Action(const std::string& text) {
    progress_.Clear();
    err_ << "vermilax-cli: " << text << '\n';
  }

  void Finish(const ScanThread& thread) {
    progress_.Clear();
    ScanSummary summary;
    summary.infected = infected_;
    summary.findings = findings_;
    summary.filesScanned = thread.FilesScanned();
    summary.seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count();
    summary.stopped = stopped_;
    summary.closingLines = ClosingLines(summary.infected, summary.seconds, summary.filesScanned);
    const std::string log_folder =
        options_.logFolder.empty() ? ScanLogFolder(platform::ProgramFolder()) : options_.logFolder;
    summary.logPath = CloseScanLog(checker_, summary.infected, summary.seconds, summary.filesScanned, log_folder);
    if (summary.logPath.empty()) err_ << "vermilax-cli: cannot write the scan log in '" << log_folder << "'\n";
    output_.Summary(summary);
    finished_ = true;
  }

  const ScanCommandOptions& options_;
  Checker& checker_;
  NotificationDispatcher& dispatcher_;
  ScanOutput output_;
  std::ostream& err_;
  ProgressLine progress_;
  Clock::time_point started_ = Clock::now();
  std::string time_left_;
  int32_t infected_ = 0;
  int32_t findings_ = 0;
  bool stopped_ = false;
  bool finished_ = false;
};

}  // namespace

std::optional<ScanCommandOptions> ParseScanOptions(const std::vector<std::string>& args, std::ostream& err) {
  const std::optional<ParsedOptions> parsed = ParseOptions(
      args, {{"--deep", "--no-heur", "--json", "--send-stats", "--standard"}, {"--db", "--log-dir"}, true}, err);
  if (!parsed) return std::nullopt;
  ScanCommandOptions options;
  options.databaseFolder = DatabaseFolderOf(*parsed);
  options.deep = parsed->Has("--deep");
  options.heur = !parsed->Has("--no-heur");
  options.json = parsed->Has("--json");
  options.sendStats = parsed->Has("--send-stats");
  options.standard = parsed->Has("--standard");
  options.logFolder = parsed->Folder("--log-dir").value_or(std::string());
  options.folders = parsed->operands;
#ifndef _WIN32
  if (options.standard) {
    err << "vermilax-cli: --standard: the standard scan runs only in the Windows build\n";
    return std::nullopt;
  }
#endif
  if (options.standard == !options.folders.empty()) {
    err << (options.standard ? "vermilax-cli: --standard takes no folders\n" : kUsage);
    return std::nullopt;
  }
  for (const std::string& folder : options.folders) {
    if (!platform::FolderExists(folder)) {
      err << "vermilax-cli: no such folder '" << folder << "'\n";
      return std::nullopt;
    }
  }
  return options;
}

int RunScan(const ScanCommandOptions& options, std::ostream& out, std::ostream& err,
            const std::function<bool()>& interrupted) {
  // For this process only: the user's stored settings stay as they are.
  Settings& settings = GetSettings();
  settings.OverrideHeur(options.heur);
  settings.OverrideDeepScan(options.deep);
  settings.OverrideAnonymStats(options.sendStats);

  Checker checker(false);  // no courtesy pause per file: nobody waits on a window here
  if (!LoadCheckerDatabases(checker, options.databaseFolder, options.deep, err)) return 2;
  std::unique_ptr<PlaceDatabase> places;
  if (options.standard) {
    places = std::make_unique<PlaceDatabase>();
    const std::string place_file = options.databaseFolder + "pl.a";
    if (IsExistingFile(place_file)) places->Load(place_file);
  }

  try {
    NotificationDispatcher dispatcher;
    ScanSession session(options, checker, dispatcher, out, err);
    ScanThread thread(checker, dispatcher, settings, places.get());
    if (options.standard) {
      thread.SetScanKind(ScanKind::Standard);
    } else {
      thread.SetScanKind(ScanKind::Custom);
      thread.SetCustomScan(true);
      thread.Folders = options.folders;
    }
    session.Attach(thread);
    session.Drive(thread, interrupted);
    out.flush();
    return session.ExitCode();
  } catch (const std::exception& error) {
    err << "vermilax-cli: the scan failed: " << error.what() << '\n';
    return 2;
  }
}

int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<ScanCommandOptions> options = ParseScanOptions(args, err);
  if (!options) return 2;
  options->progress = platform::StandardErrorIsTerminal();
  platform::CatchInterrupts();
  return RunScan(*options, out, err, platform::InterruptRequested);
}

}  // namespace vermilax::cli
