#pragma once
#include <cstddef>
#include <string>

namespace vermilax::test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // Full path of `name` inside the folder, joined with the platform separator.
  std::string File(const std::string& name) const;

 private:
  std::string placeholder_;  // the unique file that reserves the folder's name
  std::string path_;
};

// Number of entries (files and folders) directly inside `folder`.
size_t CountEntries(const std::string& folder);

// Points the system's temporary folder at `folder` while the object lives,
// so a test can see every temporary file the code under test leaves.
class TempFolderRedirect {
 public:
  explicit TempFolderRedirect(const std::string& folder);
  ~TempFolderRedirect();
  TempFolderRedirect(const TempFolderRedirect&) = delete;
  TempFolderRedirect& operator=(const TempFolderRedirect&) = delete;

 private:
  struct Saved {
    const char* name;
    bool had;
    std::string value;
  };
  Saved saved_[2];
};

}  // namespace vermilax::test
