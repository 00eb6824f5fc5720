#include "scan/scan_thread.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "engine/checker.h"
#include "env/text_utils.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "scan/notification_dispatcher.h"
#include "scan/place_database.h"
#include "scan/settings.h"
#include "support/archive_builder.h"
#include "support/sample_set.h"
#include "support/scratch_folder.h"

namespace vermilax {
namespace {

using namespace std::chrono_literals;

constexpr char kPolicies[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr char kDontLoad[] = "Control Panel\\don't load";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Position of `line` in `lines`, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : int(it - lines.begin());
}

// A checker over the sample databases, a folder of samples to scan and a
// system whose processes, trust answers, roots and report server are the test's.
class ScanThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings& settings = GetSettings();
    settings.OverrideHeur(true);
    settings.OverrideDeepScan(false);
    settings.OverrideAnonymStats(false);
    platform::CreateFolder(db_.PathOf(""));
    for (const auto& [name, text] : test::BuildSampleDatabaseTexts()) test::WriteArchive(db_.PathOf(name), text, "1");
    checker_.LoadDatabases(db_.Path());
    for (const test::SampleFile& sample : test::BuildSampleFiles()) samples_[sample.name] = sample.bytes;

    system_.processPaths = [this] { return processes_; };
    system_.terminateProcess = [this](uint32_t id) {
      terminated_.push_back(id);
      return true;
    };
    system_.isTrusted = [this](const std::string& path) { return trusted_.count(path) > 0; };
    system_.standardRoots = [this] { return roots_; };
    system_.sendAfterScanReport = [this](std::string_view text) { reports_.emplace_back(text); };
    system_.ownProcessId = 7;
  }
  void TearDown() override { GetSettings().OverrideAnonymStats(false); }

  // Writes sample `name` into `folder`, optionally into its subfolder `sub`.
  std::string Sample(const test::ScratchFolder& folder, const std::string& name, const std::string& sub = "") {
    if (sub.empty()) return folder.WriteFile(name, samples_.at(name));
    platform::CreateFolder(folder.PathOf(sub));
    return folder.WriteFile(sub + platform::PathSeparator() + name, samples_.at(name));
  }

  // A thread whose every notification is written down as one line.
  std::unique_ptr<ScanThread> MakeThread(const PlaceDatabase* places = nullptr) {
    auto thread = std::make_unique<ScanThread>(checker_, dispatcher_, GetSettings(), places, system_);
    ScanHandlers& h = thread->Handlers;
    const std::thread::id owner = std::this_thread::get_id();
    auto note = [this, owner](std::string line) {
      if (std::this_thread::get_id() != owner) off_owner_thread_ = true;
      events_.push_back(std::move(line));
    };
    h.OnScanStarted = [note](ScanThread&) { note("started"); };
    h.OnStatus = [note](ScanThread&, const std::string& text) { note("status " + text); };
    h.OnFolder = [note](ScanThread&, const std::string& folder) { note("folder " + folder); };
    h.OnMemoryProgress = [note](ScanThread&, int32_t n, const std::string& path) {
      note("memory " + std::to_string(n) + " " + path);
    };
    h.OnAction = [note](ScanThread&, const std::string& text) { note("action " + text); };
    h.OnCollectProgress = [note](ScanThread&, int32_t n, const std::string& text) {
      note("collected " + std::to_string(n) + " " + text);
    };
    h.OnTargetsCollected = [note](ScanThread& t) { note("targets " + std::to_string(t.Total())); };
    h.OnProgress = [note](ScanThread&, const std::string& target, int64_t processed, int64_t total, uint8_t percent) {
      note("progress " + std::to_string(processed) + "/" + std::to_string(total) + " " + std::to_string(percent) +
           "% " + target);
    };
    h.OnFound = [note](ScanThread&, const ReportItem& item) {
      note("found " + item.FileName() + " " + item.ThreatName() + " " + std::to_string(item.Kind()));
    };
    auto module = [note](const char* kind) {
      return [note, kind](ScanThread&, UnitInfo& unit, int32_t index) {
        note(std::string(kind) + " " + unit.Name + " " + std::to_string(index));
      };
    };
    h.OnStartupFound = module("startup");
    h.OnBHOFound = module("bho");
    h.OnServiceFound = module("service");
    h.OnActiveXFound = module("activex");
    h.OnScanFinished = [note](ScanThread&, int64_t total) { note("finished " + std::to_string(total)); };
    return thread;
  }

  std::unique_ptr<ScanThread> CustomScan(const std::vector<std::string>& folders) {
    auto thread = MakeThread();
    thread->SetScanKind(ScanKind::Custom);
    thread->SetCustomScan(true);
    thread->Folders = folders;
    return thread;
  }

  void Run(ScanThread& thread) {
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    EXPECT_FALSE(off_owner_thread_);
  }

  std::vector<std::string> EventsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : events_)
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    return found;
  }

  test::ScratchFolder db_;
  Checker checker_{false};
  NotificationDispatcher dispatcher_;
  std::map<std::string, std::string> samples_;
  ScanSystem system_;
  std::vector<NamedId> processes_;
  std::vector<uint32_t> terminated_;
  std::set<std::string> trusted_;
  std::string roots_;
  std::vector<std::string> reports_;
  std::vector<std::string> events_;
  bool off_owner_thread_ = false;
};

TEST_F(ScanThreadTest, CustomScanCountsThenJudgesEveryMatchingFileAndLogsWhatItFound) {
  test::ScratchFolder files;
  const std::string threat = Sample(files, "threat-digest.exe");
  const std::string clean = Sample(files, "clean-program.exe");
  files.WriteFile("notes.txt", "not judged: no mask matches");
  const std::string inner = Sample(files, "heur-suspicious.exe", "sub");
  const std::string sub = files.PathOf("sub");

  auto thread = CustomScan({files.Path()});
  Run(*thread);

  // Listing order within a folder is the system's; compare what does not depend on it.
  EXPECT_EQ(events_.front(), "started");
  EXPECT_EQ(events_.back(), "finished 3");
  const int targets = IndexOf(events_, "targets 3");
  ASSERT_GE(targets, 0);
  EXPECT_EQ(events_[targets - 1], "status Files collected");
  EXPECT_EQ(events_[targets + 1], "status Scanning...");
  EXPECT_EQ(events_[events_.size() - 2], "status Scan completed.");
  EXPECT_EQ(EventsStartingWith("folder "), (std::vector<std::string>{"folder " + sub, "folder " + sub}));
  const std::vector<std::string> progress = EventsStartingWith("progress ");
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[0].rfind("progress 1/3 33% ", 0), 0u);
  EXPECT_EQ(progress[2], "progress 3/3 100% " + inner);  // the subfolder comes after its parent's files
  EXPECT_TRUE(Contains(events_, "found " + threat + " Trojan.Sample.Digest 0"));
  EXPECT_TRUE(Contains(events_, "found " + inner + " Riskware.Sample.Keylogger 1"));
  EXPECT_EQ(EventsStartingWith("found ").size(), 2u);
  EXPECT_TRUE(EventsStartingWith("memory ").empty());  // no process stage in a custom scan
  EXPECT_EQ(thread->FilesScanned(), 3);
  EXPECT_EQ(thread->Total(), 3);
  EXPECT_TRUE(reports_.empty());  // anonymous statistics are off

  const std::vector<std::string> log = checker_.LogLines();
  ASSERT_GT(log.size(), 12u);
  EXPECT_EQ(log[10], "Starting the file scan:");
  const int block = IndexOf(log, "----- " + threat + " ---- General");
  ASSERT_GT(block, 12);
  EXPECT_EQ(log[block + 1], "\tTrojan.Sample.Digest");
  EXPECT_LT(IndexOf(log, "Scanning..."), block);
  EXPECT_EQ(log.back(), "Scan completed.");
  EXPECT_EQ(thread->ReportText().rfind("\r\n\r\n\r\n----- ", 0), 0u);
  EXPECT_NE(thread->ReportText().find("----- " + threat + " ---- General\tThreat\tTrojan.Sample.Digest\t"),
            std::string::npos);
  (void)clean;
}

TEST_F(ScanThreadTest, NothingToJudgeGivesTotalZeroAndNoProgress) {
  test::ScratchFolder files;
  files.WriteFile("readme.txt", "x");
  auto thread = CustomScan({files.Path()});
  Run(*thread);
  EXPECT_TRUE(Contains(events_, "targets 0"));
  EXPECT_TRUE(EventsStartingWith("progress ").empty());
  EXPECT_EQ(thread->Percent(), 0);
  EXPECT_EQ(events_.back(), "finished 0");
}

TEST_F(ScanThreadTest, AMissingFolderEndsTheWalkBeforeTheFoldersAfterIt) {
  test::ScratchFolder first, last;
  const std::string before = Sample(first, "threat-digest.exe");
  Sample(last, "threat-addon.exe");
  auto thread = CustomScan({first.Path(), first.PathOf("gone"), last.Path()});
  Run(*thread);
  EXPECT_TRUE(Contains(events_, "targets 1"));
  EXPECT_EQ(EventsStartingWith("found "), (std::vector<std::string>{"found " + before + " Trojan.Sample.Digest 0"}));
  EXPECT_EQ(events_.back(), "finished 1");
}

TEST_F(ScanThreadTest, SignedFilesLoseHeuristicFindingsOnly) {
  test::ScratchFolder files;
  const std::string packed = Sample(files, "packed-general.exe");      // HEUR.General.YODA
  const std::string rule = Sample(files, "heur-threat.exe");           // Trojan.Sample.Injector
  const std::string digest = Sample(files, "threat-digest.exe");       // Trojan.Sample.Digest
  const std::string unsigned_packed = Sample(files, "obfuscated-layout.exe");  // HEUR.Obfuscated.UPX
  trusted_ = {packed, rule, digest};
  auto thread = CustomScan({files.Path()});
  Run(*thread);
  const std::vector<std::string> found = EventsStartingWith("found ");
  EXPECT_EQ(found.size(), 3u);
  EXPECT_FALSE(Contains(found, "found " + packed + " HEUR.General.YODA 0"));
  EXPECT_TRUE(Contains(found, "found " + rule + " Trojan.Sample.Injector 0"));
  EXPECT_TRUE(Contains(found, "found " + digest + " Trojan.Sample.Digest 0"));
  EXPECT_TRUE(Contains(found, "found " + unsigned_packed + " HEUR.Obfuscated.UPX 0"));
}

TEST_F(ScanThreadTest, ErrorVerdictsAreFoundButStayOutOfTheReportText) {
  test::ScratchFolder files;
  const std::string broken = Sample(files, "not-a-program.exe");
  auto thread = CustomScan({files.Path()});
  Run(*thread);
  EXPECT_TRUE(Contains(events_, "found " + broken + " Invalid DOS signature 3"));
  EXPECT_EQ(thread->ReportText(), "");
  const std::vector<std::string> log = checker_.LogLines();
  const int block = IndexOf(log, "----- " + broken + " ---- General");
  ASSERT_GE(block, 0);
  EXPECT_EQ(log[block + 1], "\tInvalid DOS signature");
  EXPECT_EQ(log[block + 2], "Scan completed.");
}

TEST_F(ScanThreadTest, AfterScanReportGoesOutOnlyWithStatisticsOnAndSomethingFound) {
  test::ScratchFolder with_threat, without;
  Sample(with_threat, "threat-digest.exe");
  Sample(without, "clean-program.exe");
  GetSettings().OverrideAnonymStats(true);
  auto found = CustomScan({with_threat.Path()});
  Run(*found);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0], found->ReportText());
  auto clean = CustomScan({without.Path()});
  Run(*clean);
  EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(ScanThreadTest, StandardScanRunsEveryStageInOrder) {
  test::ScratchFolder files, place_folder;
  const std::string on_disk = Sample(files, "threat-addon.exe");
  const std::string process_threat = Sample(place_folder, "threat-digest.exe");
  const std::string process_clean = Sample(place_folder, "clean-program.exe");
  const std::string own = Sample(place_folder, "heur-threat.exe");
  const std::string place = place_folder.WriteFile("dropper.bin", "harmless bytes at a known-bad place");
  roots_ = files.Path() + ";;" + place_folder.PathOf("missing-is-last");
  processes_ = {{process_threat, 42}, {process_clean, 43}, {own, 7}};
  using platform::Hive;
  namespace registry = platform::registry;
  ASSERT_TRUE(registry::WriteDword(Hive::CurrentUser, kPolicies, "DisableRegistryTools", 1));
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kDontLoad, "wscui.cpl", "no"));
  registry::DeleteValue(Hive::CurrentUser, kPolicies, "DisableTaskMgr");

  PlaceDatabase places{PlaceVariables{}};
  places.AppendLines({"file|Trojan.Place|" + place, "File|Not.A.Place|" + place, "file|Absent|" + place + ".no"});
  auto thread = MakeThread(&places);
  // Two collectors with 12 and 3 records; the start-up stage judges one file.
  ModuleStage startup;
  startup.collect = [](const auto& added) {
    for (int i = 1; i <= 12; ++i) added(std::string("HKLM\\Run\\").append(std::to_string(i)));
  };
  startup.count = [] { return 12; };
  startup.check = [&](ScanThread& t) {
    for (int32_t i = 0; i < 12 && t.BeginModuleItem(i); ++i) {
      if (i == 0) t.CheckModuleFile(on_disk);
    }
  };
  ModuleStage service;
  service.collect = [](const auto& added) {
    for (int i = 1; i <= 3; ++i) added(std::string("service ").append(std::to_string(i)));
  };
  service.count = [] { return 3; };
  thread->SetModuleStage(ModuleStageKind::Startup, startup);
  thread->SetModuleStage(ModuleStageKind::Service, service);
  Run(*thread);

  // Processes: the threat is ended, the scanner's own process only reported.
  EXPECT_EQ(terminated_, (std::vector<uint32_t>{42}));
  const std::string terminated =
      "Memory:process 42 " + ExtractNameFromPath(process_threat) + " (Trojan.Sample.Digest) - terminated";
  const std::vector<std::string> expected_start = {
      "started",
      "memory 1 " + process_threat,
      "action " + terminated,
      "found " + process_threat + " Trojan.Sample.Digest 0",
      "memory 2 " + process_clean,
      "memory 3 " + own,
      "found " + own + " Trojan.Sample.Injector 0",
      "action Hijack.WindowsSecurity - fixed",
      "action Hijack.Registry - fixed",
      "collected 10 HKLM\\Run\\10",
      "status Startup collected",
      "status BHO plugins collected",
      "status Service collected",
      "status ActiveX collected",
      "collected 15 ActiveX collected",  // the last status text is the current target
      "status Files collected",
      "targets 16",
      "status Scaning...",
  };
  ASSERT_GE(events_.size(), expected_start.size());
  EXPECT_EQ(std::vector<std::string>(events_.begin(), events_.begin() + expected_start.size()), expected_start);
  EXPECT_EQ(platform::registry::KindOf(Hive::CurrentUser, kPolicies, "DisableRegistryTools"),
            platform::ValueKind::None);
  EXPECT_EQ(platform::registry::KindOf(Hive::CurrentUser, kDontLoad, "wscui.cpl"), platform::ValueKind::None);

  // Module items, then the place, then the files; each item counted once.
  const std::vector<std::string> after(events_.begin() + expected_start.size(), events_.end());
  ASSERT_EQ(after.size(), 18u);
  EXPECT_EQ(after[0], "progress 1/16 6% Scaning...");
  EXPECT_EQ(after[1], "progress 1/16 6% " + on_disk);  // the module's file: counted with its item
  EXPECT_EQ(after[2], "found " + on_disk + " Trojan.Sample.AddOn 0");
  EXPECT_EQ(after[13], "progress 12/16 75% " + on_disk);
  EXPECT_EQ(after[14], "found " + place + " Trojan.Place 0");
  EXPECT_EQ(after[15], "progress 13/16 81% " + on_disk);
  // Judged once already in this scan: the checker's cache makes it clean now.
  EXPECT_EQ(after[16], "status Scan completed.");
  EXPECT_EQ(events_.back(), "finished 16");
  const std::vector<std::string> log = checker_.LogLines();
  EXPECT_TRUE(Contains(log, terminated));
  EXPECT_TRUE(Contains(log, "Hijack.Registry - fixed"));
  EXPECT_TRUE(Contains(log, "----- " + place + " ---- General"));
}

TEST_F(ScanThreadTest, AStopDuringTheModuleStagesSkipsTheRestButNotThePlacesOrTheEnd) {
  test::ScratchFolder files;
  Sample(files, "threat-digest.exe");
  const std::string place = files.WriteFile("known.bin", "x");
  roots_ = files.Path();
  PlaceDatabase places{PlaceVariables{}};
  places.AppendLines({"file|Trojan.Place|" + place});
  auto thread = MakeThread(&places);
  std::vector<std::string> checked;
  auto stage = [&](const std::string& name, int records) {
    ModuleStage result;
    result.count = [records] { return records; };
    result.check = [&checked, name, records](ScanThread& t) {
      for (int32_t i = 0; i < records && t.BeginModuleItem(i); ++i) checked.push_back(name + std::to_string(i));
    };
    return result;
  };
  thread->SetModuleStage(ModuleStageKind::Startup, stage("startup", 2));
  thread->SetModuleStage(ModuleStageKind::BHO, stage("bho", 3));
  thread->SetModuleStage(ModuleStageKind::Service, stage("service", 2));
  // The owner stops the scan while the second BHO is being judged.
  thread->Handlers.OnProgress = [&](ScanThread& t, const std::string&, int64_t processed, int64_t, uint8_t) {
    if (processed == 4) t.Terminate();
  };
  Run(*thread);
  EXPECT_EQ(checked, (std::vector<std::string>{"startup0", "startup1", "bho0", "bho1"}));
  EXPECT_TRUE(Contains(events_, "found " + place + " Trojan.Place 0"));
  EXPECT_EQ(EventsStartingWith("found ").size(), 1u);  // no checking pass
  EXPECT_EQ(events_[events_.size() - 2], "status Scan completed.");
  EXPECT_EQ(events_.back(), "finished 8");
}

TEST_F(ScanThreadTest, AStopDuringTheCheckingPassEndsItAfterTheCurrentFile) {
  test::ScratchFolder files;
  for (const char* name : {"threat-digest.exe", "threat-addon.exe", "threat-icon.exe"}) Sample(files, name);
  auto thread = CustomScan({files.Path()});
  thread->Handlers.OnFound = [&](ScanThread& t, const ReportItem&) {
    events_.push_back("found");
    t.Terminate();
  };
  Run(*thread);
  EXPECT_EQ(EventsStartingWith("found").size(), 1u);
  EXPECT_EQ(thread->FilesScanned(), 1);
  EXPECT_EQ(events_.back(), "finished 3");
}

TEST_F(ScanThreadTest, APausedScanRaisesNothingUntilResumedAndAStopReleasesIt) {
  test::ScratchFolder files;
  Sample(files, "clean-program.exe");
  auto thread = CustomScan({files.Path()});
  thread->Pause();
  thread->Start();
  for (int i = 0; i < 20; ++i) dispatcher_.WaitAndRun(10ms);
  EXPECT_TRUE(events_.empty());
  thread->Resume();
  thread->WaitFor();
  EXPECT_EQ(events_.back(), "finished 1");

  // Paused after it began: the stop request lets it run to its end.
  events_.clear();
  auto paused = CustomScan({files.Path()});
  paused->Handlers.OnTargetsCollected = [&](ScanThread& t) {
    events_.push_back("targets");
    t.Pause();
  };
  paused->Start();
  while (events_.empty() || events_.back() != "targets") dispatcher_.WaitAndRun(10ms);
  for (int i = 0; i < 20; ++i) dispatcher_.WaitAndRun(10ms);
  EXPECT_EQ(events_.back(), "targets");
  paused->Terminate();
  paused->WaitFor();
  EXPECT_EQ(events_.back(), "finished 1");
  EXPECT_TRUE(EventsStartingWith("progress").empty());
}

TEST_F(ScanThreadTest, ModuleFindingsSkipWhiteListedAndSignedFilesAndLogTheirStatus) {
  test::ScratchFolder files;
  const std::string threat = Sample(files, "threat-digest.exe");
  const std::string listed = Sample(files, "white-listed.exe");
  const std::string signed_file = Sample(files, "clean-program.exe");
  trusted_ = {signed_file};
  std::vector<UnitInfo> units(4);
  units[0] = {"Bad", "{CLSID}", threat};
  units[0].Status = kUnitThreat;
  units[1] = {"Listed", "", listed};
  units[2] = {"Signed", "", signed_file};
  units[3] = {"Unreadable", "", files.PathOf("missing.exe")};
  std::vector<std::string> outcomes;
  auto thread = MakeThread();
  ModuleStage bho;
  bho.count = [] { return 4; };
  bho.check = [&](ScanThread& t) {
    for (int32_t i = 0; i < 4 && t.BeginModuleItem(i); ++i) {
      try {
        outcomes.push_back(t.AnnounceModule(ModuleStageKind::BHO, units[i]) ? "announced" : "passed");
      } catch (const std::exception&) {
        outcomes.push_back("abandoned");
      }
    }
  };
  thread->SetModuleStage(ModuleStageKind::BHO, bho);
  Run(*thread);
  EXPECT_EQ(outcomes, (std::vector<std::string>{"announced", "passed", "passed", "abandoned"}));
  EXPECT_EQ(EventsStartingWith("bho "), (std::vector<std::string>{"bho Bad 0"}));
  const std::vector<std::string> log = checker_.LogLines();
  const int block = IndexOf(log, "----- " + threat + " ---- BHO");
  ASSERT_GE(block, 0);
  EXPECT_EQ(log[block + 1], "\tThreat");
  EXPECT_EQ(log[block + 2], "\tBad");
  EXPECT_NE(thread->ReportText().find("---- BHO\tThreat\tBad\t"), std::string::npos);
}

TEST_F(ScanThreadTest, FilesThatComeAndGoBetweenThePassesDoNotUpsetTheScan) {
  test::ScratchFolder files;
  const std::string stays = Sample(files, "threat-digest.exe");
  const std::string goes = Sample(files, "threat-addon.exe");
  const std::string stays_too = Sample(files, "clean-program.exe");
  Sample(files, "threat-icon.exe", "vanishing");
  auto thread = CustomScan({files.Path()});
  thread->Handlers.OnTargetsCollected = [&](ScanThread&) {
    platform::RemoveFile(goes);
    platform::RemoveFile(files.PathOf("vanishing") + platform::PathSeparator() + "threat-icon.exe");
    platform::RemoveFile(files.PathOf("vanishing"));  // only removable once empty
    for (int i = 0; i < 4; ++i) files.WriteFile("new" + std::to_string(i) + ".dll", "MZ?");
#ifndef _WIN32
    // A pipe where a program was: it cannot be read, and it must not hold the scan.
    platform::RemoveFile(stays_too);
    ASSERT_EQ(::mkfifo(stays_too.c_str(), 0644), 0);
#endif
  };
  std::vector<int> percents;
  thread->Handlers.OnProgress = [&](ScanThread&, const std::string&, int64_t, int64_t, uint8_t percent) {
    percents.push_back(percent);
  };
  Run(*thread);
  EXPECT_EQ(thread->Total(), 4);
  EXPECT_EQ(thread->FilesScanned(), 6);
  EXPECT_EQ(*std::max_element(percents.begin(), percents.end()), 100);
  EXPECT_TRUE(Contains(events_, "found " + stays + " Trojan.Sample.Digest 0"));
#ifndef _WIN32
  EXPECT_TRUE(Contains(events_, "found " + stays_too + " Access is denied. 3"));
#endif
  EXPECT_EQ(events_.back(), "finished 4");
}

TEST_F(ScanThreadTest, ReleasingARunningScanStopsItWithoutRunningMoreHandlers) {
  test::ScratchFolder files;
  for (int i = 0; i < 50; ++i) Sample(files, "clean-program.exe", std::to_string(100 + i));
  auto thread = CustomScan({files.Path()});
  thread->Start();
  while (events_.size() < 3) dispatcher_.WaitAndRun(10ms);
  const size_t seen = events_.size();
  thread.reset();  // must neither hang nor call back
  EXPECT_LE(events_.size(), seen + 1);
  EXPECT_NE(events_.back().rfind("finished", 0), 0u);
}

TEST(ScanPercent, NeverDividesByZeroAndStaysAByteOfAtMostOneHundred) {
  const struct {
    int64_t processed, total;
    int percent;
  } kCases[] = {{0, 0, 0}, {5, 0, 0}, {1, 3, 33}, {2, 3, 66}, {3, 3, 100}, {9, 3, 100},
                {int64_t(1) << 40, int64_t(1) << 41, 50}, {-1, 5, 0}};
  for (const auto& c : kCases) EXPECT_EQ(ScanPercent(c.processed, c.total), c.percent) << c.processed << "/" << c.total;
}

}  // namespace
}  // namespace vermilax
