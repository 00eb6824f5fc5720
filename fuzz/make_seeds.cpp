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
#include "support/sample_set.h"

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

std::string SectionLine(std::string_view text, int32_t size, std::string_view name) {
  return std::to_string(size) + ":" + DigestToHex(MD5OfString(text)) + ":" + std::string(name);
}

bool WriteSectionSetSeeds(const std::string& folder) {
  const std::string sound = SectionLine("a", 512, "Worm.A") + "\r\n" + SectionLine("b", 4096, "Trojan.B") + "\r\n" +
                            SectionLine("a", 512, "Again.A") + "\r\n";
  return Write(folder, "sound", sound) &&
         Write(folder, "zero-section", "0:00000000000000000000000000000000:Empty\r\n") &&
         Write(folder, "bad-then-good", SectionLine("a", 1, "A") + "\r\nbroken\r\n" + SectionLine("b", 2, "B")) &&
         Write(folder, "hex-and-negative", "$200:0cc175b9c0f1b6a831c399e269772661:H\n-1:" +
                                               DigestToHex(MD5OfString("n")) + ":N\n") &&
         Write(folder, "empty-lines", "\r\n\r\n\r\n");
}

// Programs with icon groups of several shapes, for the icon digest.
bool WriteIconSeeds(const std::string& folder) {
  using test::IconGroupEntry;
  auto entry = [](uint16_t id, uint32_t bytes) {
    IconGroupEntry e;
    e.icon_id = id;
    e.bytes_in_res = bytes;
    return e;
  };
  test::PeBuilder single;
  test::AddIconGroup(single, std::string(40, 'i'));
  test::PeBuilder several;
  several.resources.push_back({test::kResourceIcon, uint32_t(1), 0x409, std::string(30, 'a')});
  several.resources.push_back({test::kResourceIcon, uint32_t(3), 0x407, std::string(50, 'c')});
  several.resources.push_back({test::kResourceIcon, std::string("NAMED"), 0x409, "n"});
  several.resources.push_back(
      {test::kResourceGroupIcon, std::string("MAIN"), 0x409, test::IconGroupData({entry(1, 30), entry(2, 9), entry(3, 60)})});
  several.resources.push_back({test::kResourceGroupIcon, uint32_t(5), 0x409, test::IconGroupData({entry(3, 50)})});
  test::PeBuilder empty;
  empty.resources.push_back({test::kResourceGroupIcon, uint32_t(1), 0x409, test::IconGroupData({})});
  return Write(folder, "single", single.Build()) && Write(folder, "several", several.Build()) &&
         Write(folder, "empty-group", empty.Build()) && Write(folder, "no-resources", test::PeBuilder().Build());
}

// Database texts of the byte-signature, packer and heuristic sets.
bool WriteRuleSeeds(const std::string& root) {
  const char sep = platform::PathSeparator();
  const std::string virus = root + sep + "virus_set_fuzz", packer = root + sep + "packer_set_fuzz",
                    heuristic = root + sep + "heuristic_fuzz";
  if (!platform::CreateFolder(virus) || !platform::CreateFolder(packer) || !platform::CreateFolder(heuristic))
    return false;
  return Write(virus, "anchors",
               "Example:0:EP+2:E8????????5D\r\nSec:300:S1+16:aabb\r\nLast:1:SL+0:C3\r\nEvery:1:*:5A5A\r\n") &&
         Write(virus, "dropped", "Unknown:1:X+0:90\nNoPattern:1:EP+0\nHalf:1:EP+0:9\nOk:1:EP+0:60E8\n") &&
         Write(virus, "window", "Edge:1:EP+2038:????????????????????\rOut:1:S0+2040:00112233445566778899\r") &&
         Write(virus, "bad-code", "A:1:EP+0:60\r\nB:x:EP+0:60\r\n") &&
         Write(virus, "star-no-pattern", "A:1:*\r\n") &&
         Write(packer, "entries",
               "; comment\r\n[UPX 0.89]\r\nsignature = 60 E8 ?? ?? ?? ?? 5D\r\nep_only = true\r\n\r\n"
               "[Section]\r\nsignature =5A 5A\r\nep_only = false\r\n[Num]\r\nsig = 00\r\nep = 0\r\n") &&
         Write(packer, "no-equals", "[A]\r\n60 E8\r\nep_only = true\r\n") &&
         Write(packer, "cut-first", "[A]\r\nx = 60\r\ny = TRUE\r\n[Cut]") &&
         Write(packer, "cut-second", "[A]\r\nx = 60\r\n") &&
         Write(packer, "bad-bool", "[A]\r\nx = 60\r\ny = maybe\r\n") &&
         Write(heuristic, "rules",
               "U:*:*:CreateRemoteThread,OpenProcess:*:Trojan.Injector\r\n\r\n"
               "X:UPX:1:RegSetValueExA:ServiceMain,Install:Backdoor.Service\r\nU:*:*:*:*:Never\r\n") &&
         Write(heuristic, "short", "U:*:*:OpenProcess:*:A\r\nU:*:*:x\r\n");
}

// The sample files of every verdict kind, each a file to judge.
bool WriteCheckFileSeeds(const std::string& root) {
  const std::string folder = root + platform::PathSeparator() + "check_file_fuzz";
  if (!platform::CreateFolder(folder)) return false;
  for (const test::SampleFile& sample : test::BuildSampleFiles())
    if (!Write(folder, sample.name, sample.bytes)) return false;
  return true;
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
  const std::string pes = root + sep + "pe_fuzz", sections = root + sep + "section_set_fuzz";
  const std::string icons = root + sep + "icon_fuzz", places = root + sep + "place_db_fuzz";
  if (!platform::CreateFolder(root) || !platform::CreateFolder(archives) || !platform::CreateFolder(texts) ||
      !platform::CreateFolder(pes) || !platform::CreateFolder(sections) || !platform::CreateFolder(icons) ||
      !platform::CreateFolder(places)) {
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
  ok = ok && WritePeSeeds(pes) && WriteSectionSetSeeds(sections) && WriteIconSeeds(icons) && WriteRuleSeeds(root) &&
            WriteCheckFileSeeds(root);
  ok = ok && Write(places, "file-places", "file|Trojan.Example|%appdata%\\x\\y.exe\r\nfile|T.B|%temp%\\a.exe\r\n") &&
       Write(places, "other-kinds", "File|Caps|%windir%\\a.exe\nreg|R|HKLM\\x\rfile|short\r\nfile|a|b\r\n") &&
       Write(places, "variables", "file|V|%mydoc%%profile%%programfiles%%systemdir%%windir%%commondir%%appdata%"
                                  "%desktop%%favorites%%userprofile%%temp%%tempdir%%startmenu%%program%%sysdrive%\r\n") &&
       Write(places, "utf8-long", "file|" + std::string(80, 'n') + "|%temp%\\caf\xC3\xA9" + std::string(300, 'p') +
                                      "\r\n file || spaced |  %temp% \r\n");
  return ok ? 0 : 1;
}
