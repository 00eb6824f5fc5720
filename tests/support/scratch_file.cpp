#include "support/scratch_file.h"

#include <atomic>
#include <stdexcept>

#include "platform/files.h"

namespace vermilax::test {

ScratchFile::ScratchFile(const std::string& bytes, const std::string& suffix) {
  std::string unique = platform::CreateUniqueTempFile(platform::TempFolder(), "vmx");
  if (unique.empty()) throw std::runtime_error("cannot create a temporary file");
  // The file with the suffix is named after the reserved one, which is kept
  // until the end so that nobody else can be given the same name.
  static std::atomic<int> counter{0};
  reserved_ = unique;
  path_ = unique + "-" + std::to_string(counter++) + suffix;
  if (!platform::WriteWholeFile(path_, bytes)) throw std::runtime_error("cannot write " + path_);
}

ScratchFile::~ScratchFile() {
  platform::RemoveFile(path_);
  platform::RemoveFile(reserved_);
}

}  // namespace vermilax::test
