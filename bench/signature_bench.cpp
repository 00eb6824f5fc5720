// Deep-scan byte signatures and packer sets: the indexed lookup against trying
// every record in file order, on the same analysed file in the same run.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "engine/memory_file.h"
#include "engine/packer_signature.h"
#include "engine/pe_scanner_ex.h"
#include "engine/virus_signature.h"
#include "support/pe_writer.h"

using namespace vermilax;
using namespace vermilax::bench;

namespace {

std::mt19937 rng(2009);

std::string HexByte(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

std::vector<std::string> VirusLines(int count) {
  static const char* kLocations[] = {"EP+", "EP+", "S0+", "SL+", "*"};
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string location = kLocations[rng() % 5];
    if (location != "*") location += std::to_string(rng() % 64);
    std::string pattern;
    for (uint32_t n = 8 + rng() % 16; n > 0; --n) pattern += rng() % 10 == 0 ? "??" : HexByte(rng());
    lines.push_back("Virus." + std::to_string(i) + ":1:" + location + ":" + pattern);
  }
  return lines;
}

std::vector<std::string> PackerLines(int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string pattern = "signature =";
    for (uint32_t n = 6 + rng() % 30; n > 0; --n) {
      pattern += ' ';
      pattern += rng() % 8 == 0 ? std::string("??") : HexByte(rng());
    }
    lines.insert(lines.end(), {"[Packer " + std::to_string(i) + "]", pattern,
                               rng() % 4 ? "ep_only = true" : "ep_only = false"});
  }
  return lines;
}

std::unique_ptr<PEScannerEx> AnalysedFile() {
  test::PeBuilder b;
  b.sections.clear();
  for (int s = 0; s < 4; ++s) {
    test::PeSection section;
    section.name = ".s" + std::to_string(s);
    for (int i = 0; i < 0x10000; ++i) section.data += char(rng());
    b.sections.push_back(section);
  }
  auto scanner = std::make_unique<PEScannerEx>("bench.exe", std::make_unique<MemoryFile>(b.Build()), false);
  ScanContext context;
  context.Options = kScanChecker | kScanReportBroken;
  scanner->Execute(&context);
  return scanner;
}



}  // namespace

int main() {
  const std::unique_ptr<PEScannerEx> scanner = AnalysedFile();
  constexpr int kLookups = 200;
  int64_t sink = 0;

  VirusSignature virus;
  virus.LoadLines(VirusLines(10000));
  const double virusIndexed = BestOf(5, [&] {
    for (int i = 0; i < kLookups; ++i) sink += virus.FindMatch(*scanner) != nullptr;
  }) / kLookups;
  const double virusNaive = BestOf(5, [&] {
    for (int i = 0; i < kLookups; ++i) sink += virus.FindMatchRecordByRecord(*scanner);
  }) / kLookups;
  Report("10,000 byte signatures, indexed lookup", virusIndexed * 1e6, "us");
  Report("10,000 byte signatures, record by record", virusNaive * 1e6, "us");
  Verdict("byte signatures 10x faster than record by record", virusNaive >= 10 * virusIndexed);

  std::vector<PackerSignature> packers(20);
  for (PackerSignature& set : packers) set.LoadLines(PackerLines(400));
  const double packerIndexed = BestOf(5, [&] {
    for (int i = 0; i < kLookups; ++i)
      for (const PackerSignature& set : packers) sink += set.FindMatch(*scanner).Index;
  }) / kLookups;
  const double packerNaive = BestOf(5, [&] {
    for (int i = 0; i < kLookups; ++i)
      for (const PackerSignature& set : packers) sink += set.FindMatchRecordByRecord(*scanner);
  }) / kLookups;
  Report("20 packer sets of 400, indexed lookup", packerIndexed * 1e6, "us");
  Report("20 packer sets of 400, record by record", packerNaive * 1e6, "us");
  Verdict("packer sets 10x faster than record by record", packerNaive >= 10 * packerIndexed);
  std::printf("lookup checksum %lld (keeps the lookups from being optimised away)\n", static_cast<long long>(sink));
  return 0;
}
