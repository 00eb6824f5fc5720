// Writes a folder of generated sample files for the main job and the README:
// small PE programs and libraries built in code, plus a file that is no PE at all.
// Usage: make_samples OUTDIR
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "support/pe_writer.h"

using vermilax::test::PeBuilder;

namespace {

bool Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::string path = folder + vermilax::platform::PathSeparator() + name;
  if (vermilax::platform::WriteWholeFile(path, bytes)) return true;
  std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples OUTDIR\n");
    return 2;
  }
  const std::string folder = argv[1];
  if (!vermilax::platform::CreateFolder(folder)) {
    std::fprintf(stderr, "make_samples: cannot create %s\n", folder.c_str());
    return 2;
  }
  PeBuilder program;
  program.imports = {{"KERNEL32.dll", {{"LoadLibraryA", 1}, {"GetProcAddress", 2}}},
                     {"USER32.dll", {{"MessageBoxA", 3}}}};
  program.entry_point_bytes = std::string("\x55\x8B\xEC\x6A\x00\xE8", 6);
  vermilax::test::AddIconGroup(program, std::string(744, '\x11'));

  PeBuilder library;
  library.characteristics = 0x2102;
  vermilax::test::PeExportTable exports;
  exports.dll_name = "sample.dll";
  exports.functions = {{"SampleInit", 0x1000, std::nullopt}, {"SampleRun", 0x1010, std::nullopt}};
  library.exports = exports;

  bool ok = Write(folder, "sample-program.exe", program.Build()) &&
            Write(folder, "sample-library.dll", library.Build()) &&
            Write(folder, "not-a-program.exe", "This is a text file, not a program.\r\n");
  return ok ? 0 : 1;
}
