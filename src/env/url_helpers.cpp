#include "env/url_helpers.h"

#include "env/file_helpers.h"
#include "platform/url_fetch.h"

namespace vermilax {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool DownloadToCache(const std::string& url) {
  try {
    std::string cache_file;
    if (!platform::DownloadUrlToCacheFile(url, cache_file)) return false;
    platform::DiscardCachedUrl(url, cache_file);
    return true;
  } catch (...) {
    return false;
  }
}

bool DownloadToList(const std::string& url, std::vector<std::string>* list) {
  if (!list) return false;
  std::string cache_file;
  try {
    if (!platform::DownloadUrlToCacheFile(url, cache_file)) return false;
    *list = SplitLines(ReadFileToString(cache_file));
    platform::DiscardCachedUrl(url, cache_file);
    return true;
  } catch (...) {
    // The copy must not stay behind when reading it failed.
    if (!cache_file.empty()) platform::DiscardCachedUrl(url, cache_file);
    return false;
  }
}

}  // namespace vermilax
