// Writes the seed inputs of the fuzz targets, one folder per target under OUTDIR.
// Usage: vermilax_fuzz_seeds OUTDIR
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/md5.h"
#include "engine/signature_archive.h"
#include "engine/zip_writer.h"
#include "env/text_utils.h"
#include "platform/files.h"
#include "support/pe_writer.h"

namespace {

using namespace vermilax;

std::string Line(std::string_view text, int32_t size, std::string_view name) {
  return DigestToHex(MD5OfString(text)) + ":" + std::to_string(size) + ":" + std::string(name);
}

// A small database whose lines are in the descending order the sets expect.
std::string SortedDatabase() {
  std::vector<std::string> lines = {Line("a", 1, "Worm.A"), Line("b", 300, "Trojan.B"), Line("c", 7, "Virus.C")};
  std::sort(lines.begin(), lines.end(), std::greater<>());
  std::string db;
  for (const std::string& line : lines) db += line + "\r\n";
  return db;
}

std::string ScrambledZip(const std::vector<std::pair<std::string, std::string>>& entries, int level) {
  ZipWriter zip;
  for (const auto& [name, data] : entries) zip.AddEntry(name, data, level);
  return XorString(zip.Finish(), kArchiveKey);
}

bool Write(const std::string& folder, const std::string& name, const std::string& data) {
  if (platform::WriteWholeFile(folder + platform::PathSeparator() + name, data)) return true;
  std::fprintf(stderr, "cannot write %s\n", name.c_str());
  return false;
}

// Small PE files that reach the deeper parts of the analysis: imports, exports,
// resources, a UPX-like layout and a PE32+ header.
bool WritePeSeeds(const std::string& folder) {
  using test::PeBuilder;
  PeBuilder program;
  program.imports = {{"KERNEL32.dll", {{"LoadLibraryA", 1}, {"GetProcAddress", 2}, {"", 0, 7}}}};
  test::AddIconGroup(program, std::string(40, 'i'));
  PeBuilder library;
  library.characteristics = 0x2102;
  test::PeExportTable exports;
  exports.functions = {{"Alpha", 0x1000, std::nullopt}, {"Beta", 0x1010, std::nullopt}};
  library.exports = exports;
  PeBuilder packed;
  packed.sections = {{"UPX0", "", 0xE0000080, std::nullopt, 0x10000}, {"UPX1", std::string(512, 'u')}};
  packed.entry_point_bytes = "\x60\xBE";
  PeBuilder wide;
  wide.pe32plus = true;
  wide.machine = 0x8664;
  return Write(folder, "program", program.Build()) && Write(folder, "library", library.Build()) &&
         Write(folder, "packed", packed.Build()) && Write(folder, "pe32plus", wide.Build()) &&
         Write(folder, "dos", test::DosProgramBuilder().Build()) && Write(folder, "ne", test::NeProgramBuilder().Build());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vermilax_fuzz_seeds OUTDIR\n");
    return 2;
  }
  const std::string root = argv[1];
  const char sep = platform::PathSeparator();
  const std::string archives = root + sep + "archive_fuzz", texts = root + sep + "md5_set_fuzz";
  const std::string pes = root + sep + "pe_fuzz";
  const std::string places = root + sep + "place_db_fuzz";
  if (!platform::CreateFolder(root) || !platform::CreateFolder(archives) || !platform::CreateFolder(texts) ||
      !platform::CreateFolder(pes) || !platform::CreateFolder(places)) {
    std::fprintf(stderr, "cannot create the seed folders under %s\n", root.c_str());
    return 1;
  }
  const std::string db = SortedDatabase();
  bool ok = Write(archives, "deflated", BuildSignatureArchive(db, "2009-07-18", true)) &&
            Write(archives, "stored", BuildSignatureArchive(db, "1", false)) &&
            Write(archives, "empty-db", BuildSignatureArchive("", "1", true)) &&
            Write(archives, "lf-only", BuildSignatureArchive("a\nb\n\nc", "v", true)) &&
            Write(archives, "no-ver", ScrambledZip({{"DB", db}}, 9)) &&
            Write(archives, "extra-entries", ScrambledZip({{"readme", "x"}, {"db", db}, {"VER", "2"}}, 6)) &&
            Write(texts, "sorted", db) &&
            Write(texts, "lf-and-cr", "0CC175B9C0F1B6A831C399E269772661:1:A\rFFFF\n") &&
            Write(texts, "hex-size", "92EB5FFEE6AE2FEC3AD71C777531578F:$1F:B:extra\r\n") &&
            Write(texts, "short-digest", "0CC175B9C0F1:1:A\r\n") &&
            Write(texts, "empty-line", Line("a", 1, "A") + "\r\n\r\n" + Line("b", 2, "B")) &&
            Write(texts, "long-name", Line("a", -5, std::string(100, 'n')) + "\r\n");
  ok = ok && WritePeSeeds(pes);
  ok = ok && Write(places, "file-places", "file|Trojan.Example|%appdata%\\x\\y.exe\r\nfile|T.B|%temp%\\a.exe\r\n") &&
       Write(places, "other-kinds", "File|Caps|%windir%\\a.exe\nreg|R|HKLM\\x\rfile|short\r\nfile|a|b\r\n") &&
       Write(places, "variables", "file|V|%mydoc%%profile%%programfiles%%systemdir%%windir%%commondir%%appdata%"
                                  "%desktop%%favorites%%userprofile%%temp%%tempdir%%startmenu%%program%%sysdrive%\r\n") &&
       Write(places, "utf8-long", "file|" + std::string(80, 'n') + "|%temp%\\caf\xC3\xA9" + std::string(300, 'p') +
                                      "\r\n file || spaced |  %temp% \r\n");
  return ok ? 0 : 1;
}
