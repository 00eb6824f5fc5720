#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Native builds only: addresses for the small HTTP client behind DownloadUrlToCacheFile.
namespace vermilax::platform::http {

struct HttpUrl {
  std::string host;    // name or address; an IPv6 address without its brackets
  uint16_t port = 80;
  std::string target;  // path and query as sent in the request line, never empty
};

// Parses an http:// address: host[:port], then path and query (the fragment is
// dropped). Bytes that may not appear in a request line are percent-encoded.
// nullopt for other schemes, user names, bad ports and empty hosts.
std::optional<HttpUrl> ParseHttpUrl(const std::string& url);

// The address a redirect's Location header leads to from `base`: an absolute
// http:// address, "//host/..." or a path, absolute or relative. nullopt when it
// leads anywhere this client cannot go.
std::optional<HttpUrl> ResolveRedirect(const HttpUrl& base, const std::string& location);

// The Host header's value: the host (bracketed when IPv6) and ":port" unless 80.
std::string HostHeader(const HttpUrl& url);

}  // namespace vermilax::platform::http
