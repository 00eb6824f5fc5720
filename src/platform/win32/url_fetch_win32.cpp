// URL fetches through the system's download-to-cache service.
#include <windows.h>
// After windows.h:
#include <urlmon.h>
#include <wininet.h>

#include "platform/files.h"
#include "platform/url_fetch.h"

namespace vermilax::platform {

bool DownloadUrlToCacheFile(const std::string& url, std::string& cache_file) {
  char buffer[260] = {};
  if (URLDownloadToCacheFileA(nullptr, url.c_str(), buffer, sizeof buffer, 0, nullptr) != S_OK) return false;
  buffer[sizeof buffer - 1] = '\0';
  cache_file = buffer;
  return true;
}

void DiscardCachedUrl(const std::string& url, const std::string& cache_file) {
  DeleteUrlCacheEntryA(url.c_str());
  // The cache may keep the file while an entry is locked; remove it ourselves then.
  if (!cache_file.empty() && FileExists(cache_file)) RemoveFile(cache_file);
}

}  // namespace vermilax::platform
