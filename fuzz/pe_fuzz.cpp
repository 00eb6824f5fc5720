// Any byte sequence through the PE analysis, imports, exports and the file summary.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/memory_file.h"
#include "engine/pe_scanner_ex.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// What every consumer of the scanner relies on, whatever the input.
void CheckInvariants(const vermilax::PEScannerEx& scanner, size_t size) {
  Check(scanner.EntryPointBytesRead() >= 0 && scanner.EntryPointBytesRead() <= 4096);
  Check(scanner.Sections().size() == scanner.SectionHeaders().size());
  for (size_t i = 0; i < scanner.Sections().size(); ++i) {
    std::string_view data = scanner.SectionData(i);
    Check(data.empty() || data.size() == scanner.Sections()[i].AlignedRawSize);
    Check(data.size() <= size);
  }
  Check(scanner.ImportNames().size() <= size);
  Check(scanner.ExportNames().size() <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (uint32_t options : {vermilax::kScanChecker | vermilax::kScanReportBroken, vermilax::kScanChecker}) {
    vermilax::PEScannerEx scanner("fuzz.exe", std::make_unique<vermilax::MemoryFile>(bytes), false);
    vermilax::ScanContext context;
    context.Options = options;
    scanner.Execute(&context);
    scanner.ReadImports();
    scanner.ReadExports();
    CheckInvariants(scanner, size);
  }
  vermilax::PEScannerEx described("fuzz.exe", std::make_unique<vermilax::MemoryFile>(bytes), false);
  vermilax::DescribeFile(described);
  return 0;
}
