// The scan worker: lifecycle, hand-over of notifications, the two stage
// sequences, the file passes and the judging of one file.
#include "scan/scan_thread.h"

#include <chrono>

#include "engine/checker.h"
#include "env/ansi_case.h"
#include "env/text_utils.h"
#include "scan/notification_dispatcher.h"
#include "scan/scan_roots.h"
#include "scan/scan_log.h"
#include "scan/settings.h"

namespace vermilax {
namespace {

constexpr std::array<const char*, kModuleStageCount> kCollectedMessages = {
    "Startup collected", "BHO plugins collected", "Service collected", "ActiveX collected"};

// Runs one stage; a failure inside it ends that stage only, so the scan still
// reaches its closing steps.
template <typename Work>
void Guarded(Work&& work) {
  try {
    work();
  } catch (...) {
  }
}

bool IsHeuristicName(const std::string& threatName) {
  return UpperCaseAnsi(threatName).find("HEUR") != std::string::npos;
}

}  // namespace

uint8_t ScanPercent(int64_t processed, int64_t total) {
  if (total <= 0 || processed <= 0) return 0;
  if (processed >= total) return 100;
  return uint8_t(processed * 100 / total);
}

ScanThread::ScanThread(Checker& checker, NotificationDispatcher& dispatcher, Settings& settings,
                       const PlaceDatabase* places, ScanSystem system)
    : checker_(checker), dispatcher_(dispatcher), settings_(settings), places_(places), system_(std::move(system)) {}

ScanThread::~ScanThread() {
  owner_gone_ = true;
  Terminate();
  WaitFor();
}

void ScanThread::Start() {
  if (worker_.joinable()) return;
  worker_ = std::thread([this] {
    Execute();
    finished_ = true;
  });
}

void ScanThread::WaitFor() {
  if (!worker_.joinable()) return;
  // A worker waits for its notifications to run, so the owner must keep
  // running them until the worker is done.
  while (dispatcher_.IsOwnerThread() && !finished_) dispatcher_.WaitAndRun(std::chrono::milliseconds(10));
  worker_.join();
}

void ScanThread::Notify(const std::function<void()>& work) {
  gate_.WaitWhilePaused();
  if (owner_gone_) return;
  dispatcher_.Post([&] {
    if (!owner_gone_) work();
  });
}

template <typename Handler, typename... Args>
void ScanThread::Raise(const Handler& handler, Args&&... args) {
  if (!handler) {
    gate_.WaitWhilePaused();  // raises nothing, but a paused scan still holds here
    return;
  }
  Notify([&] { handler(*this, args...); });
}

void ScanThread::Execute() {
  files_scanned_ = 0;
  Guarded([&] { Raise(Handlers.OnScanStarted); });
  Guarded([&] { custom_ ? ScanFolders() : ScanComputer(); });
  Guarded([&] { PostStatus("Scan completed."); });
  Guarded([&] {
    if (settings_.AnonymStats() && !TrimText(report_text_).empty() && system_.sendAfterScanReport)
      system_.sendAfterScanReport(report_text_);
  });
  Guarded([&] { Raise(Handlers.OnScanFinished, total_); });
}

void ScanThread::LoadDeepScanIfWanted() {
  if (!settings_.DeepScan() || checker_.HasDeepScanDatabases()) return;
  PostStatus("Initialization \"Deep Scan\" module...");
  // A damaged deep-scan database leaves what loaded before the bad line; the
  // scan goes on with it rather than not at all.
  Guarded([&] { checker_.LoadDeepScanDatabases(); });
}

void ScanThread::ScanComputer() {
  LoadDeepScanIfWanted();
  checker_.StartLog();
  collected_ = 0;
  memory_items_ = 0;
  Guarded([&] { ScanMemory(); });
  FixRegistryHijacks();
  CollectModules();
  Raise(Handlers.OnCollectProgress, collected_, target_);
  const std::string roots = system_.standardRoots ? system_.standardRoots() : std::string();
  CountFiles(roots);
  PostStatus("Files collected");
  for (const ModuleStage& stage : module_stages_) {
    if (stage.count) Guarded([&] { total_ += stage.count(); });
  }
  processed_ = 0;
  Raise(Handlers.OnTargetsCollected);
  PostStatus("Scaning...");
  CheckModules();
  Guarded([&] { CheckPlaces(); });  // runs even after a stop request
  if (!Terminated()) CheckFiles(roots);
}

void ScanThread::ScanFolders() {
  LoadDeepScanIfWanted();
  checker_.StartLog();
  const std::string roots = JoinRoots(Folders);
  FixRegistryHijacks();
  CountFiles(roots);
  PostStatus("Files collected");
  processed_ = 0;
  Raise(Handlers.OnTargetsCollected);
  PostStatus("Scanning...");
  if (!Terminated()) CheckFiles(roots);
}

void ScanThread::CollectModules() {
  for (size_t i = 0; i < kModuleStageCount; ++i) {
    const ModuleStage& stage = module_stages_[i];
    if (stage.collect) Guarded([&] { stage.collect([this](const std::string& text) { CollectProgress(text); }); });
    PostStatus(kCollectedMessages[i]);
  }
}

void ScanThread::CheckModules() {
  for (const ModuleStage& stage : module_stages_) {
    if (Terminated()) return;
    if (stage.check) Guarded([&] { stage.check(*this); });
  }
}

void ScanThread::CountFiles(const std::string& roots) {
  total_ = 0;
  walker_.SetRoots(roots);
  walker_.SetOnFolder([this](const std::string& path) { FolderEntered(path); });
  walker_.SetOnFile([this](const std::string&) {
    gate_.WaitWhilePaused();
    ++total_;
    return WalkAction::Continue;
  });
  Guarded([&] { walker_.Walk(); });
}

void ScanThread::CheckFiles(const std::string& roots) {
  walker_.SetRoots(roots);
  walker_.SetOnFile([this](const std::string& path) { return CheckFoundFile(path); });
  Guarded([&] { walker_.Walk(); });
}

void ScanThread::FolderEntered(const std::string& path) {
  target_ = path;
  Raise(Handlers.OnFolder, target_);
}

void ScanThread::RecomputePercent() { percent_ = ScanPercent(processed_, total_); }

WalkAction ScanThread::CheckFoundFile(const std::string& path) {
  target_ = path;
  ++processed_;
  ++files_scanned_;
  RecomputePercent();
  Raise(Handlers.OnProgress, target_, processed_, total_, percent_);
  const CheckResult result = checker_.CheckFile(path);
  // A signed file keeps signature detections but loses heuristic ones; the
  // name is looked at first, so most findings need no trust check at all.
  if (result.verdict != Verdict::Clean &&
      (!IsHeuristicName(result.threatName) || !(system_.isTrusted && system_.isTrusted(path)))) {
    ReportJudgedFinding(result, path);
  }
  return Terminated() ? WalkAction::Abort : WalkAction::Continue;
}

void ScanThread::ReportFinding(uint8_t kind, const std::string& name, const std::string& path) {
  current_item_.SetKind(kind);
  current_item_.SetThreatName(name);
  current_item_.SetFileName(path);
  Notify([&] {
    AppendBlock(MakeFindingBlock(kind, name, kSourceGeneral, path));
    if (Handlers.OnFound) Handlers.OnFound(*this, current_item_);
  });
}

void ScanThread::ReportJudgedFinding(const CheckResult& result, const std::string& path) {
  current_item_.FileSize = result.fileSize;
  current_item_.Digest = result.digestText;
  ReportFinding(uint8_t(result.verdict), result.threatName, path);
}

void ScanThread::AppendBlock(const FindingBlock& block) {
  for (const std::string& line : block.LogLines) checker_.AddLogLine(line);
  report_text_ += block.ReportPiece;
}

bool ScanThread::BeginModuleItem(int32_t index) {
  if (Terminated()) return false;
  module_index_ = index;
  ++processed_;
  RecomputePercent();
  Raise(Handlers.OnProgress, target_, processed_, total_, percent_);
  return true;
}

void ScanThread::CheckModuleFile(const std::string& path) {
  --processed_;  // the module item was counted already
  CheckFoundFile(path);
}

bool ScanThread::AnnounceModule(ModuleStageKind kind, UnitInfo& module) {
  if (checker_.IsFileWhiteListed(module.FileName)) return false;
  if (system_.isTrusted && system_.isTrusted(module.FileName)) return false;
  struct Route {
    uint8_t source;
    std::function<void(ScanThread&, UnitInfo&, int32_t)> ScanHandlers::*handler;
  };
  static constexpr std::array<Route, kModuleStageCount> kRoutes = {{
      {kSourceStartup, &ScanHandlers::OnStartupFound},
      {kSourceBHO, &ScanHandlers::OnBHOFound},
      {kSourceService, &ScanHandlers::OnServiceFound},
      {kSourceActiveX, &ScanHandlers::OnActiveXFound},
  }};
  const Route& route = kRoutes[size_t(kind)];
  Notify([&] {
    AppendBlock(MakeModuleFindingBlock(module.Status, module.Name, route.source, module.FileName));
    const auto& handler = Handlers.*route.handler;
    if (handler) handler(*this, module, module_index_);
  });
  return true;
}

void ScanThread::CollectProgress(const std::string& text) {
  target_ = text;
  ++collected_;
  if (collected_ % 10 == 0) Raise(Handlers.OnCollectProgress, collected_, target_);
}

void ScanThread::PostStatus(const std::string& text) {
  target_ = text;
  // Stage messages reach the log only when someone shows them.
  if (Handlers.OnStatus) checker_.AddLogLine(text);
  Raise(Handlers.OnStatus, text);
}

void ScanThread::PostAction(const std::string& text) {
  target_ = text;
  checker_.AddLogLine(text);
  Raise(Handlers.OnAction, text);
}

}  // namespace vermilax
