#pragma once
#include <string>
#include <vector>

namespace vermilax::test {

// A new, empty folder in the system's temporary folder, removed with everything in
// it when the object goes. Natively the path is canonical (no symbolic links), so
// it compares equal to paths the system reports for files inside it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Without a trailing separator.
  const std::string& Path() const { return path_; }
  // `name` inside the folder, joined with this build's separator.
  std::string PathOf(const std::string& name) const;
  // Writes `bytes` to `name` inside the folder and returns the file's path.
  std::string WriteFile(const std::string& name, const std::string& bytes) const;
  // Names of the entries directly inside the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// Makes the system report `folder` as its temporary folder while the object lives
// (TMPDIR natively, TMP and TEMP on Windows), so a test sees every temporary file.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::string& folder);
  ~TempFolderOverride();
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  struct Saved {
    std::string name;
    bool present = false;
    std::string value;
  };
  std::vector<Saved> saved_;
};

}  // namespace vermilax::test
