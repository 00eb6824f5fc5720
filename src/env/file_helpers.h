#pragma once
#include <cstdint>
#include <string>

namespace vermilax {

// True when the path names an existing file (a folder is not one); relative paths
// are taken against the current folder.
bool IsExistingFile(const std::string& path);

// The size a directory search reports: 0 for a missing file, -1 at 2 GiB or more.
int32_t FileSizeOf(const std::string& path);

// All bytes of the file, opened read-only while others may read and write it.
// Throws std::runtime_error when the file cannot be opened or read.
std::string ReadFileToString(const std::string& path);

// Creates the file, or truncates it, and writes all of `data`.
// Throws std::runtime_error when the file cannot be written.
void WriteStringToFile(const std::string& path, const std::string& data);

// A name in the temporary folder, beginning with "~" and ending in ".~", under
// which no file exists. The file is not created; the caller creates, uses and
// deletes it. The empty placeholder the system makes on the way is removed.
// Throws std::runtime_error when the system hands out no names.
std::string MakeTempFileName();

// Writes the program's raw-data resource `name` to a new file `path`. Nothing is
// written when `path` exists or there is no such resource. True when written.
bool ExtractResourceToFile(const std::string& name, const std::string& path);

// Starts the command line as a new process (normal priority, own process group)
// and waits until it ends; returns at once when it cannot be started.
void RunAndWait(const std::string& command_line);

}  // namespace vermilax
