#pragma once
#include <string>

namespace vermilax::platform {

// Fetches a URL through the system's URL download-to-cache service (with the
// system's proxy and cache settings). On success `cache_file` names the cached
// copy. False on failure, including any answer other than success.
//
// Natively there is no such service: a small HTTP/1.1 client fetches http://
// addresses (host[:port], path and query; up to 5 redirects; 30 s timeouts; only
// status 200 succeeds) into a new file in the temporary folder.
bool DownloadUrlToCacheFile(const std::string& url, std::string& cache_file);

// Removes the cached copy of `url` that DownloadUrlToCacheFile stored in `cache_file`.
void DiscardCachedUrl(const std::string& url, const std::string& cache_file);

}  // namespace vermilax::platform
