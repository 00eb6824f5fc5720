// The parser over real Windows libraries, when the machine has some (Wine's).
#include <gtest/gtest.h>

#include "engine/pe_scanner_ex.h"
#include "platform/files.h"

namespace vermilax {
namespace {

std::string RealLibraryFolder() {
  for (const char* folder : {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows",
                             "/usr/lib32/wine/i386-windows", "C:\\windows\\system32"}) {
    if (platform::FolderExists(folder)) return folder;
  }
  return std::string();
}

TEST(PEScannerRealFiles, WineLibrariesAnalyseWithoutErrors) {
  const std::string folder = RealLibraryFolder();
  if (folder.empty()) GTEST_SKIP() << "no folder of Windows libraries on this machine";
  std::vector<std::string> names;
  platform::ListFolder(folder, "*.dll", [&](const platform::FolderEntry& e) {
    if (!(e.attributes & platform::kAttrDirectory)) names.push_back(e.name);
    return true;
  });
  if (names.empty()) GTEST_SKIP() << "no libraries in " << folder;

  size_t with_imports = 0, with_exports = 0;
  for (const std::string& name : names) {
    const std::string path = folder + platform::PathSeparator() + name;
    PEScannerEx scanner(path, false);
    ASSERT_FALSE(scanner.HasError()) << path << ": " << scanner.ErrorText();
    ScanContext context{"", kScanChecker};
    const int32_t result = scanner.Execute(&context);
    EXPECT_EQ(scanner.ErrorText(), "") << path;
    EXPECT_EQ(context.Name, "") << path;
    EXPECT_EQ(result, scanner.IsPE32Plus() ? 0 : 1) << path;
    EXPECT_FALSE(scanner.Sections().empty()) << path;
    EXPECT_FALSE(scanner.IsExecutableImage()) << path;
    scanner.ReadImports();
    scanner.ReadExports();
    with_imports += !scanner.ImportNames().empty();
    with_exports += !scanner.ExportNames().empty();
  }
  // Nearly every library imports something; most export something.
  EXPECT_GE(with_imports * 10, names.size() * 9) << with_imports << " of " << names.size();
  EXPECT_GE(with_exports * 2, names.size()) << with_exports << " of " << names.size();
}

}  // namespace
}  // namespace vermilax
