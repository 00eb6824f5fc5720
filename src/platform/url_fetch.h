#pragma once
#include <string>

namespace vermilax::platform {

// Fetches a URL through the system's URL download-to-cache service.
// On success `cache_file` names the cached copy. False on failure.
bool DownloadUrlToCacheFile(const std::string& url, std::string& cache_file);

}  // namespace vermilax::platform
