// CheckFile per file with large signature sets loaded against the same files
// with empty sets, and the load time of a million whole-file records.
// usage: check_bench [FOLDER]   (default: Wine's 32-bit, else 64-bit libraries)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "engine/checker.h"
#include "engine/md5_signature.h"
#include "engine/signature_archive.h"
#include "platform/files.h"
#include "scan/settings.h"

namespace {

using namespace vermilax;

constexpr int kWholeFileRecords = 1000000;
constexpr int kSectionRecords = 100000;
constexpr int kByteSignatures = 10000;
constexpr int kPackerSets = 20;
constexpr int kPackerRecordsPerSet = 50;
constexpr size_t kMaxFiles = 300;

std::string Hex(std::mt19937& random, int bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < bytes; ++i) {
    const unsigned byte = random() & 0xFF;
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string SpacedHex(std::mt19937& random, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) {
    if (i) text += ' ';
    text += Hex(random, 1);
  }
  return text;
}

// Whole-file records sorted as the loader expects: descending (digest, size).
std::string WholeFileText(std::mt19937& random) {
  std::vector<std::string> lines;
  lines.reserve(kWholeFileRecords);
  for (int i = 0; i < kWholeFileRecords; ++i)
    lines.push_back(Hex(random, 16) + ":" + std::to_string(1000 + random() % 5000000) + ":Bench.Record");
  std::sort(lines.begin(), lines.end(), std::greater<>());
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool WriteDb(const std::string& folder, const std::string& name, const std::string& text) {
  return platform::WriteWholeFile(folder + name, BuildSignatureArchive(text, "1", true));
}

std::vector<std::string> Files(std::string folder) {
  std::vector<std::string> files;
  platform::ListFolder(folder, "*.dll", [&](const platform::FolderEntry& e) {
    if (!(e.attributes & platform::kAttrDirectory) && e.size > 0) files.push_back(folder + "/" + e.name);
    return files.size() < kMaxFiles;
  });
  return files;
}

double SecondsPerFile(Checker& checker, const std::vector<std::string>& files) {
  return bench::BestOf(3, [&] {
           checker.CheckedFiles().Clear();
           for (const std::string& file : files) checker.CheckFile(file);
         }) /
         double(files.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "";
  for (const char* candidate : {"/usr/lib/wine/i386-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows",
                                "/usr/lib/wine/x86_64-windows", "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"}) {
    if (folder.empty() && platform::FolderExists(candidate)) folder = candidate;
  }
  const std::vector<std::string> files = Files(folder);
  if (files.empty()) {
    std::fprintf(stderr, "check_bench: no files in %s\n", folder.c_str());
    return 2;
  }
  const std::string db = platform::CreateUniqueTempFile(platform::TempFolder(), "vxb") + ".d/";
  platform::CreateFolder(db);
  std::mt19937 random(1);
  std::string sections, bytes;
  for (int i = 0; i < kSectionRecords; ++i)
    sections += std::to_string(512 * (1 + random() % 4000)) + ":" + Hex(random, 16) + ":Bench.Section\r\n";
  for (int i = 0; i < kByteSignatures; ++i)
    bytes += "Bench.Bytes:1:" + std::string(i % 2 ? "EP+0:" : "S0+0:") + Hex(random, 10) + "\r\n";
  bool ok = WriteDb(db, "md.c", WholeFileText(random)) && WriteDb(db, "smd.c", sections) && WriteDb(db, "vs.c", bytes);
  for (int set = 0; set < kPackerSets && ok; ++set) {
    std::string text;
    for (int r = 0; r < kPackerRecordsPerSet; ++r)
      text += "[Packer " + std::to_string(r) + "]\r\nsignature = " + SpacedHex(random, 12) + "\r\nep_only = " +
              (r % 3 ? "true" : "false") + "\r\n";
    ok = WriteDb(db, "bench" + std::to_string(set) + ".z", text);
  }
  if (!ok) {
    std::fprintf(stderr, "check_bench: cannot write the databases in %s\n", db.c_str());
    return 2;
  }
  GetSettings().OverrideHeur(true);
  GetSettings().OverrideDeepScan(true);

  MD5Signature alone;
  const double load = bench::BestOf(3, [&] { alone.Load(db + "md.c"); });
  Checker loaded(false);
  const double loadAll = bench::SecondsOf([&] { loaded.LoadDatabases(db); });
  loaded.LoadDeepScanDatabases();
  Checker empty(false);

  empty.CheckedFiles().Clear();
  for (const std::string& file : files) empty.CheckFile(file);  // warm the file cache
  const double base = SecondsPerFile(empty, files);
  const double full = SecondsPerFile(loaded, files);
  std::error_code ignored;
  std::filesystem::remove_all(db, ignored);

  std::printf("files: %zu from %s\n", files.size(), folder.c_str());
  bench::Report("load of 1,000,000 whole-file records", load, "s");
  bench::Report("LoadDatabases (those + 20 packer sets)", loadAll, "s");
  bench::Report("CheckFile per file, empty sets", base * 1e6, "us");
  bench::Report("CheckFile per file, all sets loaded", full * 1e6, "us");
  bench::Report("ratio loaded / empty", full / base, "");
  bench::Verdict("loaded costs < 10% more", full < base * 1.10);
  bench::Verdict("load < 1 s", load < 1.0);
  return 0;
}
