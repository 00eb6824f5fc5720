#pragma once
#include <string>

// Native builds only: where WindowsFolder and SystemFolder point.
namespace vermilax::platform {

// Makes WindowsFolder and SystemFolder answer these folders; an empty text goes
// back to the default for that folder.
void SetWindowsFoldersForTests(const std::string& windows_folder, const std::string& system_folder);

}  // namespace vermilax::platform
