#pragma once
#include <string>

namespace vermilax::test {

// A file in the temporary folder that exists for the lifetime of the object.
class ScratchFile {
 public:
  // `suffix` becomes the end of the name (an extension such as ".exe").
  explicit ScratchFile(const std::string& bytes, const std::string& suffix = ".bin");
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string reserved_;
  std::string path_;
};

}  // namespace vermilax::test
