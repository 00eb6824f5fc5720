#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/errors.h"

namespace vermilax::platform {

enum class ShareMode {
  Exclusive,  // nobody else may read or write while the file is open
  ReadWrite,  // others may read and write meanwhile
};

// An open file. Reads move one shared position.
class File {
 public:
  virtual ~File() = default;
  // Size in bytes, or nullopt when the system cannot tell.
  virtual std::optional<uint64_t> Size() = 0;
  virtual bool Seek(uint64_t position) = 0;
  // Bytes read (0 at the end of the file), or -1 on a read error.
  virtual int64_t Read(void* buffer, uint32_t count) = 0;
};

struct OpenResult {
  std::unique_ptr<File> file;  // null on failure
  uint32_t error = kErrorSuccess;
};

OpenResult OpenFileForRead(const std::string& path, ShareMode share);

// True for an existing file (not a folder).
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The size a directory search reports for the path, or nullopt when it finds nothing.
std::optional<uint64_t> FindFileSize(const std::string& path);

// Creates or truncates the file and writes all bytes. False on any failure.
bool WriteWholeFile(const std::string& path, const std::string& data);
bool RemoveFile(const std::string& path);
// Replaces `to` when it exists.
bool MoveFileReplacing(const std::string& from, const std::string& to);
bool CreateFolder(const std::string& path);

// Attribute bits as the Windows directory search reports them.
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x1,
  kAttrHidden = 0x2,
  kAttrSystem = 0x4,
  kAttrDirectory = 0x10,
};

struct FolderEntry {
  std::string name;  // bare name, no folder
  uint32_t attributes = 0;
  uint64_t size = 0;
};

// Lists the entries of `folder` whose names match `mask` (wildcards * and ?,
// letter case ignored), without "." and "..". `visit` returns false to stop.
// Returns kErrorSuccess, or the error that ended the listing (a listing that
// found no match at all returns kErrorFileNotFound, as FindFirstFile does).
uint32_t ListFolder(const std::string& folder, const std::string& mask,
                    const std::function<bool(const FolderEntry&)>& visit);

// Folder separator of this build: '\\' on Windows, '/' natively.
char PathSeparator();

// The temporary folder as the system reports it, with its trailing separator.
std::string TempFolder();
// Asks the system for a unique file name in `folder` beginning with `prefix`;
// the system creates an empty file under that name. Empty on failure.
std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix);

// Folder of the running program, with a trailing separator.
std::string ProgramFolder();
// Full path of the running program.
std::string ProgramPath();

}  // namespace vermilax::platform
