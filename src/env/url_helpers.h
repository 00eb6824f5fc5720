#pragma once
#include <string>
#include <vector>

namespace vermilax {

// Fetches the URL through the system's download-to-cache service and deletes the
// cached copy again; true when the fetch succeeded. Never throws. Delivers reports
// whose content travels in the URL's query: the answer's body is not read.
bool DownloadToCache(const std::string& url);

// As DownloadToCache, but first replaces the contents of `list` with the lines of
// the answer (split at CR LF, lone CR or lone LF; a final line end adds no empty
// line). False when `list` is null or the fetch fails; `list` is then unchanged.
bool DownloadToList(const std::string& url, std::vector<std::string>* list);

// The lines of a text as DownloadToList splits them.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace vermilax
