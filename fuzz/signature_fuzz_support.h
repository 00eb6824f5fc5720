#pragma once
// Shared by the signature-set fuzz targets: fuzz bytes become the database text
// of a real archive file, and the loaded set is matched against fixed PE files
// that have imports, exports, several sections and a UPX-like layout.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/memory_file.h"
#include "engine/pe_scanner_ex.h"
#include "engine/signature_archive.h"
#include "platform/files.h"
#include "support/pe_writer.h"

namespace vermilax::fuzz {

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A name reserved once per process; the file under it exists only while one
// input is loaded, so no run (not even one ended by the fuzzer) leaves it behind.
inline const std::string& ArchivePath() {
  static const std::string path = [] {
    std::string p = platform::CreateUniqueTempFile(platform::TempFolder(), "vxf");
    if (p.empty()) std::abort();
    return p;
  }();
  return path;
}

// Writes `text` as the "DB" entry (stored, so each run stays fast), runs
// `load` on the file's path, and removes the file again.
template <class Load>
void LoadFromArchive(std::string_view text, Load&& load) {
  if (!platform::WriteWholeFile(ArchivePath(), BuildSignatureArchive(text, "fuzz", false))) std::abort();
  load(ArchivePath());
  platform::RemoveFile(ArchivePath());
}

inline const std::vector<std::string>& FixtureFiles() {
  static const std::vector<std::string> files = [] {
    test::PeBuilder program;
    program.entry_point_bytes = std::string("\x60\xE8\x00\x00\x00\x00\x5D\x81\xED", 9);
    program.imports = {{"KERNEL32.dll", {{"OpenProcess", 1}, {"CreateRemoteThread", 2}, {"", 0, 7}}}};

    test::PeBuilder packedLibrary;
    packedLibrary.characteristics = 0x2102;
    test::PeSection upx0, upx1;
    upx0.name = "UPX0";
    upx0.virtual_size = 0x10000;
    upx1.name = "UPX1";
    for (int i = 0; i < 0x300; ++i) upx1.data += char(i * 7);
    packedLibrary.sections = {upx0, upx1};
    packedLibrary.imports = {{"ADVAPI32.dll", {{"RegSetValueExA", 3}, {"OpenServiceA", 4}}}};
    packedLibrary.exports = test::PeExportTable{};
    packedLibrary.exports->functions = {{"ServiceMain", 0x1000, {}}, {"Install", 0x1010, {}}};
    return std::vector<std::string>{program.Build(), packedLibrary.Build()};
  }();
  return files;
}

// A fresh analysis of each fixture, as the checker would run it.
template <class Visit>
void ForEachFixture(Visit&& visit) {
  for (const std::string& bytes : FixtureFiles()) {
    PEScannerEx scanner("fixture.exe", std::make_unique<MemoryFile>(bytes), false);
    ScanContext context;
    context.Options = kScanChecker | kScanReportBroken;
    scanner.Execute(&context);
    visit(scanner);
  }
}

}  // namespace vermilax::fuzz
