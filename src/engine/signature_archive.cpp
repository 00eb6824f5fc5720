#include "engine/signature_archive.h"

#include <stdexcept>

#include "engine/zip_reader.h"
#include "engine/zip_writer.h"
#include "env/text_utils.h"
#include "platform/files.h"

namespace vermilax {
namespace {

// An archive is read whole into memory; nothing near this size is a database.
constexpr uint64_t kMaxArchiveFileSize = 128u << 20;

bool ReadWholeFile(const std::string& path, std::string& data) {
  platform::OpenResult opened = platform::OpenFileForRead(path, platform::ShareMode::ReadWrite);
  if (!opened.file) return false;
  std::optional<uint64_t> size = opened.file->Size();
  if (!size || *size > kMaxArchiveFileSize) return false;
  data.resize(size_t(*size));
  size_t done = 0;
  while (done < data.size()) {
    int64_t n = opened.file->Read(data.data() + done, uint32_t(data.size() - done));
    if (n < 0) return false;
    if (n == 0) break;  // the file shrank meanwhile
    done += size_t(n);
  }
  data.resize(done);
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of(platform::PathSeparator() == '\\' ? "\\/:" : "/");
  if (cut == std::string::npos) return ".";
  return path.substr(0, cut + 1);
}

}  // namespace

bool ParseSignatureArchive(std::string_view scrambled, std::string& db, std::string& version) {
  try {
    const std::string plain = XorString(scrambled, kArchiveKey);
    ZipReader zip;
    if (!zip.Open(plain)) return false;
    const ZipEntry* dbEntry = zip.Find(kArchiveDbEntry, true);
    const ZipEntry* versionEntry = zip.Find(kArchiveVersionEntry, true);
    if (!dbEntry || !versionEntry) return false;
    std::string dbText, versionText;
    if (!zip.Extract(*dbEntry, dbText, kMaxArchiveTextSize) ||
        !zip.Extract(*versionEntry, versionText, kMaxArchiveTextSize)) {
      return false;
    }
    db = std::move(dbText);
    version = std::move(versionText);
    return true;
  } catch (...) {
    return false;  // out of memory: the archive counts as unreadable
  }
}

bool ReadSignatureArchiveEntries(const std::string& fileName, std::string& db, std::string& version) {
  try {
    std::string data;
    return ReadWholeFile(fileName, data) && ParseSignatureArchive(data, db, version);
  } catch (...) {
    return false;
  }
}

void ReadSignatureArchive(const std::string& fileName, std::vector<std::string>& lines, std::string& version) {
  lines.clear();
  try {
    std::string db, versionText;
    if (!ReadSignatureArchiveEntries(fileName, db, versionText)) return;
    SplitLines(db, lines);
    version = std::move(versionText);
  } catch (...) {
    lines.clear();
  }
}

void SplitLines(std::string_view text, std::vector<std::string>& lines) {
  lines.clear();
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
}

size_t CountLines(std::string_view text) {
  size_t count = 0;
  ForEachLine(text, [&](std::string_view) { ++count; });
  return count;
}

std::string BuildSignatureArchive(std::string_view db, std::string_view version, bool deflate) {
  if (db.size() > kMaxArchiveTextSize || version.size() > kMaxArchiveTextSize) {
    throw std::length_error("text too large for a signature archive");
  }
  const int level = deflate ? ZipWriter::kBestCompression : ZipWriter::kStored;
  ZipWriter zip;
  if (!zip.AddEntry(kArchiveDbEntry, db, level) || !zip.AddEntry(kArchiveVersionEntry, version, level)) {
    throw std::length_error("text too large for a signature archive");
  }
  return XorString(zip.Finish(), kArchiveKey);
}

bool WriteSignatureArchive(const std::string& fileName, std::string_view db, std::string_view version,
                           bool deflate) {
  std::string temp;
  try {
    std::string bytes = BuildSignatureArchive(db, version, deflate);
    temp = platform::CreateUniqueTempFile(FolderOf(fileName), "~");
    if (temp.empty()) return false;
    if (platform::WriteWholeFile(temp, bytes) && platform::MoveFileReplacing(temp, fileName)) return true;
  } catch (...) {
  }
  if (!temp.empty()) platform::RemoveFile(temp);
  return false;
}

}  // namespace vermilax
