#include "scan_databases.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "engine/md5.h"
#include "engine/pe_scanner.h"
#include "engine/signature_archive.h"
#include "platform/files.h"

namespace vermilax::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kDatabaseVersion = 1;
constexpr char kStampName[] = "stamp.txt";

struct Record {
  Digest digest{};
  uint32_t size = 0;
  std::string name;
};

// What the engine's PE scanner reports of one corpus file.
struct AnalysedFile {
  Digest digest{};
  uint32_t size = 0;
  std::vector<std::pair<uint32_t, Digest>> sections;  // (aligned raw size, digest) with raw data
};

using Key = std::pair<uint32_t, Digest>;

// Null when the checker would not match signatures against the file: its
// analysis failed or it is no PE32 file.
std::optional<AnalysedFile> Analyse(const std::string& path) {
  PEScanner scanner(path);
  if (scanner.HasError()) return std::nullopt;
  ScanContext context;
  context.Options = kScanChecker;
  if (scanner.Execute(&context) != 1 || scanner.HasError()) return std::nullopt;
  AnalysedFile file{scanner.Digest(), uint32_t(scanner.FileSize()), {}};
  for (const SectionInfo& section : scanner.Sections()) {
    if (section.AlignedRawSize > 0 && section.AlignedRawSize < 0x80000000u)
      file.sections.emplace_back(section.AlignedRawSize, section.Digest);
  }
  return file;
}

Digest RandomDigest(std::mt19937_64& random) {
  Digest digest;
  const uint64_t low = random(), high = random();
  std::memcpy(digest.data(), &low, 8);
  std::memcpy(digest.data() + 8, &high, 8);
  return digest;
}

std::string LowerHex(const Digest& digest) {
  std::string text = DigestToHex(digest);
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

void Write(const std::string& path, const std::string& bytes) {
  if (!platform::WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

// The whole-file loader searches by bisection and wants descending (digest, size).
void SortForWholeFileLoader(std::vector<Record>& records) {
  std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
    const int order = std::memcmp(a.digest.data(), b.digest.data(), a.digest.size());
    return order != 0 ? order > 0 : a.size > b.size;
  });
}

void WriteDatabases(const BenchDatabases& db, std::vector<Record> files, const std::vector<Record>& sections) {
  SortForWholeFileLoader(files);
  std::string md, smd, hdb, mdb;
  for (const Record& r : files) {
    md += DigestToHex(r.digest) + ':' + std::to_string(r.size) + ':' + r.name + "\r\n";
    hdb += LowerHex(r.digest) + ':' + std::to_string(r.size) + ':' + r.name + '\n';
  }
  for (const Record& r : sections) {
    smd += std::to_string(r.size) + ':' + DigestToHex(r.digest) + ':' + r.name + "\r\n";
    mdb += std::to_string(r.size) + ':' + LowerHex(r.digest) + ':' + r.name + '\n';
  }
  fs::create_directories(db.vermilaxFolder);
  fs::create_directories(db.clamavFolder);
  Write(db.vermilaxFolder + "md.c", BuildSignatureArchive(md, "1"));
  Write(db.vermilaxFolder + "smd.c", BuildSignatureArchive(smd, "1"));
  Write(db.clamavFolder + "bench.hdb", hdb);
  Write(db.clamavFolder + "bench.mdb", mdb);
}

std::string StampKey(const Corpus& corpus, const DatabaseShape& shape, uint64_t seed) {
  std::ostringstream key;
  key << "databases v" << kDatabaseVersion << " seed=" << seed << " files=" << shape.wholeFileRecords
      << " sections=" << shape.sectionRecords << " planted=" << shape.plantedFiles << '+' << shape.plantedSections
      << " corpus=" << corpus.key;
  return key.str();
}

}  // namespace

BenchDatabases BuildBenchDatabases(const std::string& folder, const Corpus& corpus, const DatabaseShape& shape,
                                   uint64_t seed) {
  BenchDatabases db;
  const std::string root = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  db.vermilaxFolder = root + "vermilax/";
  db.clamavFolder = root + "clamav/";
  const std::string key = StampKey(corpus, shape, seed);
  {
    std::ifstream stamp(root + kStampName);
    std::string line;
    if (stamp && std::getline(stamp, line) && line == key &&
        stamp >> db.shape.wholeFileRecords >> db.shape.sectionRecords >> db.shape.plantedFiles >>
            db.shape.plantedSections) {
      db.reused = true;
      return db;
    }
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);

  // Only a whole-file digest or a section that occurs once in the whole corpus
  // is planted, so the number of files either scanner should report is known.
  std::vector<std::optional<AnalysedFile>> analysed;
  std::map<Key, int> fileCount, sectionCount;
  for (const CorpusFile& file : corpus.files) {
    analysed.push_back(Analyse(file.path));
    if (!analysed.back()) continue;
    ++fileCount[{analysed.back()->size, analysed.back()->digest}];
    for (const Key& section : analysed.back()->sections) ++sectionCount[section];
  }
  std::mt19937_64 random(seed);
  std::vector<size_t> order(corpus.files.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);

  std::vector<Record> files, sections;
  for (size_t index : order) {
    if (!analysed[index]) continue;
    const AnalysedFile& file = *analysed[index];
    if (files.size() < shape.plantedFiles && fileCount[{file.size, file.digest}] == 1) {
      files.push_back({file.digest, file.size, "Bench.File." + std::to_string(files.size())});
      continue;
    }
    if (sections.size() >= shape.plantedSections) continue;
    std::vector<Key> unique;
    for (const Key& section : file.sections) {
      if (sectionCount[section] == 1) unique.push_back(section);
    }
    if (unique.empty()) continue;
    const Key& chosen = unique[random() % unique.size()];
    sections.push_back({chosen.second, chosen.first, "Bench.Section." + std::to_string(sections.size())});
  }
  db.shape = shape;
  db.shape.plantedFiles = files.size();
  db.shape.plantedSections = sections.size();

  // The rest are random: sizes as real files and sections have, digests no file has.
  while (files.size() < shape.wholeFileRecords) {
    const uint32_t size = uint32_t(1000 + random() % 5000000);
    files.push_back({RandomDigest(random), size, "Bench.Random." + std::to_string(files.size())});
  }
  while (sections.size() < shape.sectionRecords) {
    const uint32_t size = uint32_t(512 * (1 + random() % 4000));
    sections.push_back({RandomDigest(random), size, "Bench.RandomSection." + std::to_string(sections.size())});
  }
  std::shuffle(sections.begin(), sections.end(), random);
  WriteDatabases(db, std::move(files), sections);

  std::ostringstream stamp;
  stamp << key << '\n'
        << db.shape.wholeFileRecords << ' ' << db.shape.sectionRecords << ' ' << db.shape.plantedFiles << ' '
        << db.shape.plantedSections << '\n';
  Write(root + kStampName, stamp.str());
  return db;
}

}  // namespace vermilax::bench
