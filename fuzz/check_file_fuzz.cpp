// Fuzz target: arbitrary bytes as a file on disk, judged by a checker that has
// every set loaded (the sample databases). CheckFile must never throw and its
// outputs must stay consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/checker.h"
#include "engine/signature_archive.h"
#include "platform/files.h"
#include "scan/settings.h"
#include "support/sample_set.h"

namespace {

using namespace vermilax;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Setup {
  std::string folder;
  std::vector<std::string> files;
  Checker checker{false};

  Setup() {
    const std::string reserved = platform::CreateUniqueTempFile(platform::TempFolder(), "vxc");
    if (reserved.empty()) std::abort();
    folder = reserved + ".d" + platform::PathSeparator();
    if (!platform::CreateFolder(folder)) std::abort();
    files.push_back(reserved);
    for (const auto& [name, text] : test::BuildSampleDatabaseTexts()) {
      if (!platform::WriteWholeFile(folder + name, BuildSignatureArchive(text, "1", false))) std::abort();
    }
    checker.LoadDatabases(folder);
    checker.LoadDeepScanDatabases();
    GetSettings().OverrideHeur(true);
  }
};

Setup& Ready() {
  static Setup* setup = [] {
    auto* s = new Setup;
    std::atexit([] {
      Setup& done = Ready();
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::path(done.folder), ignored);
      platform::RemoveFile(done.files.front());
    });
    return s;
  }();
  return *setup;
}

bool IsHexDigest(const std::string& text) {
  if (text.size() != 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup& setup = Ready();
  // The size decides the name and the deep scan, so a replay sees the same run.
  const std::string path = setup.folder + (size % 2 == 0 ? "input.exe" : "input.dat");
  GetSettings().OverrideDeepScan(size % 4 < 2);
  if (!platform::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size))) std::abort();
  setup.checker.CheckedFiles().Clear();
  const CheckResult first = setup.checker.CheckFile(path);
  Check(first.fileSize == int32_t(size));
  Check(IsHexDigest(first.digestText));
  Check((first.verdict == Verdict::Clean) == first.threatName.empty());
  // Judged again in the same scan: from the cache, unless it was white-listed.
  const CheckResult second = setup.checker.CheckFile(path);
  Check(second.verdict == Verdict::Clean);
  platform::RemoveFile(path);
  return 0;
}
