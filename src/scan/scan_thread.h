#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "env/process_helpers.h"
#include "modules/unit_info.h"
#include "scan/file_walker.h"
#include "scan/pause_gate.h"
#include "scan/report_item.h"

namespace vermilax {

class Checker;
struct CheckResult;
struct FindingBlock;
class NotificationDispatcher;
class PlaceDatabase;
class Settings;
class ScanThread;

enum class ScanKind : uint8_t {
  Standard = 0,
  Custom = 2,
};

// The owner's handlers. Each runs on the owner's thread while the worker waits;
// an unassigned one is skipped.
struct ScanHandlers {
  std::function<void(ScanThread&)> OnScanStarted;
  std::function<void(ScanThread&, const std::string& message)> OnStatus;
  std::function<void(ScanThread&, const std::string& folder)> OnFolder;
  std::function<void(ScanThread&, int32_t examined, const std::string& path)> OnMemoryProgress;
  std::function<void(ScanThread&, const std::string& message)> OnAction;
  std::function<void(ScanThread&, int32_t collected, const std::string& text)> OnCollectProgress;
  std::function<void(ScanThread&)> OnTargetsCollected;
  std::function<void(ScanThread&, const std::string& target, int64_t processed, int64_t total, uint8_t percent)>
      OnProgress;
  // The item is the thread's current one: valid only during the call.
  std::function<void(ScanThread&, const ReportItem& finding)> OnFound;
  // The record belongs to its collector.
  std::function<void(ScanThread&, UnitInfo& module, int32_t index)> OnStartupFound;
  std::function<void(ScanThread&, UnitInfo& module, int32_t index)> OnBHOFound;
  std::function<void(ScanThread&, UnitInfo& module, int32_t index)> OnServiceFound;
  std::function<void(ScanThread&, UnitInfo& module, int32_t index)> OnActiveXFound;
  std::function<void(ScanThread&, int64_t total)> OnScanFinished;
};

// What a scan asks of the running system; tests put their own in.
struct ScanSystem {
  std::function<std::vector<NamedId>()> processPaths;   // running programs with their ids
  std::function<bool(uint32_t id)> terminateProcess;    // the result is not looked at
  std::function<bool(const std::string& path)> isTrusted;  // a verified signature
  std::function<std::string()> standardRoots;           // the standard scan's folders, ";"-joined
  std::function<void(std::string_view reportText)> sendAfterScanReport;
  uint32_t ownProcessId = 0;                            // never terminated
};
// The real system: process list, trust service, special folders, report server.
ScanSystem SystemScanServices();

// The system modules of a standard scan, in the order they are collected and checked.
enum class ModuleStageKind : uint8_t { Startup, BHO, Service, ActiveX };
inline constexpr size_t kModuleStageCount = 4;

// One kind of system module: the collector that gathers its records and the
// stage that judges them. A stage left empty collects and checks nothing.
struct ModuleStage {
  // Empties the collection and fills it anew, passing each added record's text.
  std::function<void(const std::function<void(const std::string& text)>& onItemAdded)> collect;
  std::function<int32_t()> count;
  // Judges the collected records through the thread's module-item operations.
  std::function<void(ScanThread&)> check;
};

// One on-demand scan on a worker thread. The owner configures it, starts it and
// receives its notifications through the dispatcher; the worker runs the stage
// sequence of the chosen kind and has every file judged by the checker.
class ScanThread {
 public:
  // Created suspended. The checker, the dispatcher, the settings and the place
  // database (which may be null) outlive the thread.
  ScanThread(Checker& checker, NotificationDispatcher& dispatcher, Settings& settings,
             const PlaceDatabase* places = nullptr, ScanSystem system = SystemScanServices());
  // Requests a stop and waits for the worker; notifications still queued are dropped.
  ~ScanThread();
  ScanThread(const ScanThread&) = delete;
  ScanThread& operator=(const ScanThread&) = delete;

  // --- owner side, before Start
  void SetScanKind(ScanKind kind) { kind_ = kind; }
  ScanKind Kind() const { return kind_; }
  void SetCustomScan(bool custom) { custom_ = custom; }
  bool CustomScan() const { return custom_; }
  std::vector<std::string> Folders;  // the custom scan's folders, in the user's order
  ScanHandlers Handlers;
  void SetModuleStage(ModuleStageKind kind, ModuleStage stage) { module_stages_[size_t(kind)] = std::move(stage); }

  // --- owner side, while running
  void Start();
  // Holds the worker at its next safe point; pauses nest (the user's pause and
  // a database update's hold are released separately).
  void Pause() { gate_.Pause(); }
  void Resume() { gate_.Resume(); }
  bool Paused() const { return gate_.Paused(); }
  // Requests a stop; a paused worker goes on to end the scan.
  void Terminate() { gate_.RequestStop(); }
  bool Terminated() const { return gate_.StopRequested(); }
  // True once OnScanFinished has been delivered and the worker has ended its work.
  bool Finished() const { return finished_; }
  // Waits for the worker to end. On the dispatcher's owner thread the
  // notifications are run meanwhile.
  void WaitFor();

  // --- read during notifications, or once finished
  const std::string& ReportText() const { return report_text_; }
  int32_t FilesScanned() const { return files_scanned_; }
  int64_t Total() const { return total_; }
  int64_t Processed() const { return processed_; }
  uint8_t Percent() const { return percent_; }
  const std::string& Target() const { return target_; }
  const ReportItem& CurrentItem() const { return current_item_; }
  int32_t Collected() const { return collected_; }
  int32_t MemoryItems() const { return memory_items_; }
  int32_t ModuleIndex() const { return module_index_; }

  // --- worker side: the operations the module stages use
  // Start of module item `index`: false when a stop was requested (the stage
  // ends); otherwise counts the item and raises OnProgress.
  bool BeginModuleItem(int32_t index);
  // Judges a module's file as a file on disk; the item is counted once.
  void CheckModuleFile(const std::string& path);
  // Reports a module unless its file is white-listed or trusted: writes the
  // module block and raises the stage's notification. False when not reported.
  // Throws what the white-list test throws (a file that cannot be read).
  bool AnnounceModule(ModuleStageKind kind, UnitInfo& module);
  // The collectors' handler: one call per collected record.
  void CollectProgress(const std::string& text);
  void PostStatus(const std::string& text);
  void PostAction(const std::string& text);
  // Judges one file of the checking pass (or of a module stage).
  WalkAction CheckFoundFile(const std::string& path);

  // Runs the whole scan on the calling thread (the worker's body).
  void Execute();

 private:
  void ScanComputer();
  void ScanFolders();
  void LoadDeepScanIfWanted();
  void ScanMemory();
  void FixRegistryHijacks();
  void CollectModules();
  void CheckModules();
  void CheckPlaces();
  void CountFiles(const std::string& roots);
  void CheckFiles(const std::string& roots);
  void FolderEntered(const std::string& path);
  // Fills the current item and, on the owner's thread, writes the finding block
  // and raises OnFound.
  void ReportFinding(uint8_t kind, const std::string& name, const std::string& path);
  // The same for a file the checker judged: its size and digest go along.
  void ReportJudgedFinding(const CheckResult& result, const std::string& path);
  void AppendBlock(const FindingBlock& block);  // to the log and the report text
  void RecomputePercent();

  // Hands `work` to the owner's thread and waits; a paused worker is held first.
  void Notify(const std::function<void()>& work);
  template <typename Handler, typename... Args>
  void Raise(const Handler& handler, Args&&... args);

  Checker& checker_;
  NotificationDispatcher& dispatcher_;
  Settings& settings_;
  const PlaceDatabase* places_;
  ScanSystem system_;
  PauseGate gate_;
  FileWalker walker_;
  std::array<ModuleStage, kModuleStageCount> module_stages_;

  ScanKind kind_ = ScanKind::Standard;
  bool custom_ = false;
  int64_t total_ = 0;
  int64_t processed_ = 0;
  uint8_t percent_ = 0;
  int32_t files_scanned_ = 0;
  int32_t collected_ = 0;
  int32_t memory_items_ = 0;
  int32_t module_index_ = 0;
  std::string target_;
  ReportItem current_item_;
  std::string report_text_;

  std::thread worker_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> owner_gone_{false};
};

// Processed × 100 div Total in 64 bits, as a byte: 0 while Total is 0 or less,
// and no more than 100 when files appeared between the two passes.
uint8_t ScanPercent(int64_t processed, int64_t total);

}  // namespace vermilax
