#include "platform/posix/http_url.h"

#include <cctype>

namespace vermilax::platform::http {
namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// Path and query with the bytes a request line cannot carry percent-encoded.
std::string EncodeTarget(const std::string& raw) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string target;
  for (char c : raw) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      target += '%';
      target += kHex[byte >> 4];
      target += kHex[byte & 0xF];
    } else {
      target += c;
    }
  }
  if (target.empty() || target[0] != '/') target.insert(0, "/");
  return target;
}

std::optional<uint16_t> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + uint32_t(c - '0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  return uint16_t(port);
}

bool IsHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(const std::string& url) {
  if (!StartsWithNoCase(url, "http://")) return std::nullopt;
  std::string rest = url.substr(7);
  size_t fragment = rest.find('#');
  if (fragment != std::string::npos) rest.erase(fragment);
  size_t authority_end = rest.find_first_of("/?");
  std::string authority = rest.substr(0, authority_end);
  std::string target = authority_end == std::string::npos ? std::string() : rest.substr(authority_end);

  HttpUrl result;
  std::string port_text;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos) return std::nullopt;
    result.host = authority.substr(1, close - 1);
    for (char c : result.host)
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return std::nullopt;
    std::string after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return std::nullopt;
      port_text = after.substr(1);
      if (port_text.empty()) return std::nullopt;
    }
  } else {
    size_t colon = authority.find(':');
    result.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      port_text = authority.substr(colon + 1);
      if (port_text.empty()) return std::nullopt;
    }
    for (char c : result.host)
      if (!IsHostCharacter(c)) return std::nullopt;  // also refuses user names ("user@host")
  }
  if (result.host.empty()) return std::nullopt;
  if (!port_text.empty()) {
    auto port = ParsePort(port_text);
    if (!port) return std::nullopt;
    result.port = *port;
  }
  result.target = EncodeTarget(target);
  return result;
}

std::optional<HttpUrl> ResolveRedirect(const HttpUrl& base, const std::string& location) {
  if (location.empty()) return std::nullopt;
  if (StartsWithNoCase(location, "http://")) return ParseHttpUrl(location);
  if (location.rfind("//", 0) == 0) return ParseHttpUrl("http:" + location);
  // Any other scheme ("https:", "ftp:") is out of reach.
  size_t scheme_end = location.find(':');
  if (scheme_end != std::string::npos && location.find_first_of("/?#") > scheme_end) return std::nullopt;

  HttpUrl result = base;
  std::string reference = location.substr(0, location.find('#'));
  if (reference.empty()) return result;
  if (reference[0] == '/') {
    result.target = EncodeTarget(reference);
  } else if (reference[0] == '?') {
    result.target = EncodeTarget(base.target.substr(0, base.target.find('?')) + reference);
  } else {
    std::string path = base.target.substr(0, base.target.find('?'));
    result.target = EncodeTarget(path.substr(0, path.rfind('/') + 1) + reference);
  }
  return result;
}

std::string HostHeader(const HttpUrl& url) {
  std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  if (url.port != 80) host += ":" + std::to_string(url.port);
  return host;
}

}  // namespace vermilax::platform::http
