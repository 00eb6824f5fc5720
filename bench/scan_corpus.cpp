#include "scan_corpus.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"
#include "random_pe.h"

namespace vermilax::bench {
namespace {

namespace fs = std::filesystem;

// Bump when the generated files change, so old corpora are rebuilt.
constexpr int kGeneratorVersion = 1;
constexpr size_t kFilesPerFolder = 100;
constexpr size_t kFoldersPerGroup = 10;

// Beside the corpus folder rather than in it, so the scanners see only the corpus.
std::string ManifestPath(const std::string& root) { return root.substr(0, root.size() - 1) + ".manifest.txt"; }

// The extensions the scanner's default masks take.
constexpr const char* kExecutableExtensions[] = {".exe", ".dll", ".ocx", ".scr", ".cpl",
                                                 ".msi", ".drv", ".sys", ".vxd", ".wtl"};

bool IsExecutableName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  return std::find(std::begin(kExecutableExtensions), std::end(kExecutableExtensions), extension) !=
         std::end(kExecutableExtensions);
}

// "dGG/dFF/" for the folder of the file at `position`: groups of ten folders of a hundred files.
std::string FolderOf(size_t position) {
  const size_t folder = position / kFilesPerFolder;
  char text[32];
  std::snprintf(text, sizeof text, "d%02zu/d%02zu/", folder / kFoldersPerGroup, folder % kFoldersPerGroup);
  return text;
}

std::string GeneratedName(size_t index) {
  char text[32];
  std::snprintf(text, sizeof text, "gen%05zu.%s", index, index % 3 == 0 ? "exe" : "dll");
  return text;
}

// A hard link keeps the corpus small and has both scanners read a real file.
void LinkOrCopy(const std::string& from, const std::string& to) {
  std::error_code error;
  if (fs::is_regular_file(fs::symlink_status(from, error))) {
    fs::create_hard_link(from, to, error);
    if (!error) return;
  }
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) throw std::runtime_error("cannot copy " + from + " to " + to + ": " + error.message());
}

struct Planned {
  std::string relative;     // path under the corpus root
  std::string source;       // file to link, or empty for a generated one
  uint64_t size = 0;        // planned size of a generated file; the real one is read back
  uint64_t seed = 0;
  bool generated = true;    // made by RandomPeFile here or, for a slice, in the source corpus
};

// A corpus whose manifest carries `key` and whose files all have their recorded sizes.
bool LoadManifest(const std::string& root, const std::string& key, Corpus& corpus) {
  std::ifstream in(ManifestPath(root));
  std::string line;
  if (!in || !std::getline(in, line) || line != key) return false;
  corpus = Corpus{root, key, {}, 0, true};
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    char kind = 0;
    CorpusFile file;
    std::string relative;
    if (!(fields >> kind >> file.size) || !std::getline(fields >> std::ws, relative)) return false;
    file.path = root + relative;
    file.generated = kind == 'G';
    std::error_code error;
    if (fs::file_size(file.path, error) != file.size || error) return false;
    corpus.bytes += file.size;
    corpus.files.push_back(std::move(file));
  }
  return !corpus.files.empty();
}

// Writes every planned file, then the manifest (through a temporary name, so
// an interrupted build is never taken for a complete one).
Corpus Materialise(const std::string& root, const std::string& key, const std::vector<Planned>& plan) {
  const std::string manifestPath = ManifestPath(root);
  std::error_code ignored;
  fs::remove(manifestPath, ignored);
  fs::remove_all(root, ignored);
  Corpus corpus{root, key, {}, 0, false};
  std::ostringstream manifest;
  manifest << key << '\n';
  for (const Planned& item : plan) {
    const std::string path = root + item.relative;
    fs::create_directories(fs::path(path).parent_path());
    if (item.source.empty()) {
      std::mt19937_64 random(item.seed);
      const bool dll = fs::path(path).extension() == ".dll";
      if (!platform::WriteWholeFile(path, RandomPeFile(random, item.size, dll)))
        throw std::runtime_error("cannot write " + path);
    } else {
      LinkOrCopy(item.source, path);
    }
    CorpusFile file{path, fs::file_size(path), item.generated};
    manifest << (file.generated ? 'G' : 'L') << ' ' << file.size << ' ' << item.relative << '\n';
    corpus.bytes += file.size;
    corpus.files.push_back(std::move(file));
  }
  if (!platform::WriteWholeFile(manifestPath + ".tmp", manifest.str()))
    throw std::runtime_error("cannot write " + manifestPath);
  fs::rename(manifestPath + ".tmp", manifestPath);
  return corpus;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

size_t Corpus::GeneratedCount() const {
  return size_t(std::count_if(files.begin(), files.end(), [](const CorpusFile& f) { return f.generated; }));
}

std::string FindWindowsLibraryFolder() {
  for (const char* folder : {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows",
                             "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/wine/x86_64-windows"}) {
    std::error_code error;
    if (fs::is_directory(folder, error)) return folder;
  }
  return {};
}

Corpus BuildMixedCorpus(const std::string& rootFolder, const std::string& libraryFolder, size_t minFiles,
                        uint64_t minBytes, uint64_t seed) {
  const std::string root = WithSlash(rootFolder);
  std::vector<fs::path> libraries;
  uint64_t libraryBytes = 0;
  if (!libraryFolder.empty()) {
    for (const fs::directory_entry& entry : fs::directory_iterator(libraryFolder)) {
      std::error_code error;
      if (!entry.is_regular_file(error) || !IsExecutableName(entry.path()) || entry.file_size(error) == 0) continue;
      libraries.push_back(entry.path());
      libraryBytes += entry.file_size();
    }
  }
  std::sort(libraries.begin(), libraries.end());

  std::ostringstream key;
  key << "mixed v" << kGeneratorVersion << " seed=" << seed << " files>=" << minFiles << " bytes>=" << minBytes
      << " libraries=" << libraryFolder << " count=" << libraries.size() << " bytes=" << libraryBytes;
  Corpus corpus;
  if (LoadManifest(root, key.str(), corpus)) return corpus;

  std::mt19937_64 random(seed);
  std::vector<uint64_t> generatedSizes;
  uint64_t planned = libraryBytes;
  while (libraries.size() + generatedSizes.size() < minFiles || planned < minBytes) {
    generatedSizes.push_back(LogUniformSize(random, 4 << 10, 256 << 10));
    planned += generatedSizes.back();
  }
  // Libraries and generated files mixed in every folder, as on a real disk.
  std::vector<size_t> order(libraries.size() + generatedSizes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);

  std::vector<Planned> plan;
  for (size_t position = 0; position < order.size(); ++position) {
    const size_t item = order[position];
    Planned p;
    if (item < libraries.size()) {
      p.relative = FolderOf(position) + libraries[item].filename().string();
      p.source = libraries[item].string();
      p.generated = false;
    } else {
      const size_t index = item - libraries.size();
      p.relative = FolderOf(position) + GeneratedName(index);
      p.size = generatedSizes[index];
      p.seed = seed * 1000003 + index;
    }
    plan.push_back(std::move(p));
  }
  return Materialise(root, key.str(), plan);
}

Corpus BuildSmallFileCorpus(const std::string& rootFolder, size_t count, uint64_t seed) {
  const std::string root = WithSlash(rootFolder);
  std::ostringstream key;
  key << "small v" << kGeneratorVersion << " seed=" << seed << " count=" << count;
  Corpus corpus;
  if (LoadManifest(root, key.str(), corpus)) return corpus;

  std::mt19937_64 random(seed);
  std::vector<Planned> plan(count);
  for (size_t i = 0; i < count; ++i) {
    plan[i].relative = FolderOf(i) + GeneratedName(i);
    plan[i].size = LogUniformSize(random, 2 << 10, 8 << 10);
    plan[i].seed = seed * 1000003 + i;
  }
  return Materialise(root, key.str(), plan);
}

Corpus BuildSliceCorpus(const std::string& rootFolder, const Corpus& source, size_t count) {
  const std::string root = WithSlash(rootFolder);
  count = std::min(count, source.files.size());
  std::ostringstream key;
  key << "slice v" << kGeneratorVersion << " count=" << count << " of " << source.key;
  Corpus corpus;
  if (LoadManifest(root, key.str(), corpus)) return corpus;

  std::vector<Planned> plan(count);
  for (size_t i = 0; i < count; ++i) {
    plan[i].relative = source.files[i].path.substr(source.root.size());
    plan[i].source = source.files[i].path;
    plan[i].generated = source.files[i].generated;
  }
  return Materialise(root, key.str(), plan);
}

}  // namespace vermilax::bench
