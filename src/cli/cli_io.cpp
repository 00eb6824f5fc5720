#include "cli/cli_io.h"

#include "platform/files.h"

namespace vermilax::cli {

bool ReadWholeFile(const std::string& path, std::string& data, size_t maxSize) {
  platform::OpenResult opened = platform::OpenFileForRead(path, platform::ShareMode::ReadWrite);
  if (!opened.file) return false;
  data.clear();
  char buffer[64 * 1024];
  for (;;) {
    int64_t n = opened.file->Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    if (size_t(n) > maxSize - data.size()) return false;
    data.append(buffer, size_t(n));
  }
}

}  // namespace vermilax::cli
