#pragma once
#include <string>

namespace vermilax {

// Folder getters; none fails: a failing system call yields an empty string.

// The folder for temporary files exactly as the system reports it, with its
// trailing separator.
std::string GetTempDir();
// The Windows folder and the system folder, without trailing separator.
std::string GetWindowsDir();
std::string GetSystemDir();
// The string value "ProgramFilesDir" of the key SOFTWARE\Microsoft\Windows\CurrentVersion
// of HKEY_LOCAL_MACHINE; empty when the key or the value is missing.
std::string GetProgramFilesDir();
// Path of a shell special folder by CSIDL number (see platform/shell.h).
std::string GetSpecialFolderPath(int csidl);

}  // namespace vermilax
