// Replays saved inputs through a fuzz target's entry function, so that every
// input that once crashed a target keeps being checked by the ordinary tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadFile(const std::string& path, std::string& data) {
  vermilax::platform::OpenResult opened =
      vermilax::platform::OpenFileForRead(path, vermilax::platform::ShareMode::ReadWrite);
  if (!opened.file) return false;
  char buffer[64 * 1024];
  for (;;) {
    int64_t n = opened.file->Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    data.append(buffer, size_t(n));
  }
}

}  // namespace

// Arguments: folders whose files are inputs; a missing folder holds no inputs.
int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::string folder = argv[i];
    bool readError = false;
    vermilax::platform::ListFolder(folder, "*", [&](const vermilax::platform::FolderEntry& entry) {
      if (entry.attributes & vermilax::platform::kAttrDirectory) return true;
      std::string data;
      std::string path = folder + vermilax::platform::PathSeparator() + entry.name;
      if (!ReadFile(path, data)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        readError = true;
        return false;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
      ++replayed;
      return true;
    });
    if (readError) return 1;
  }
  std::printf("replayed %zu inputs\n", replayed);
  return 0;
}
