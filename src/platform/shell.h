#pragma once
#include <string>

namespace vermilax::platform {

// The Windows folder and the system folder, without trailing separator.
// Natively: a folder that plays the same role (configurable by tests).
std::string WindowsFolder();
std::string SystemFolder();
// Path of a shell special folder by CSIDL number, or empty.
std::string SpecialFolderPath(int csidl);

}  // namespace vermilax::platform
