#pragma once
#include <string>
#include <vector>

namespace vermilax {

// The folders a standard scan walks, in order: the system folder, the user's
// roaming application data, desktop and local application data, the temporary
// Internet files, the temporary folder, program files and the application data
// of all users. A folder the system does not report stays empty.
std::vector<std::string> StandardScanFolders();
// The same folders joined with ";".
std::string StandardScanRoots();
// Folders joined with ";", the walker's list of roots.
std::string JoinRoots(const std::vector<std::string>& folders);

}  // namespace vermilax
