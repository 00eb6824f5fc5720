// The native HTTP client's pieces; the Windows build fetches through the system.
#ifndef _WIN32
#include "platform/posix/http_response_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/posix/http_url.h"

namespace vermilax::platform::http {
namespace {

struct Outcome {
  bool fed = false;       // every Feed call accepted its bytes
  bool complete = false;  // complete after FinishAtClose
  int status = 0;
  std::string body;
};

// Feeds `response` in pieces of `piece` bytes (0: all at once), then closes.
Outcome Parse(const std::string& response, size_t piece = 0) {
  Outcome outcome;
  HttpResponseParser parser([&](const char* data, size_t size) {
    outcome.body.append(data, size);
    return true;
  });
  outcome.fed = true;
  size_t step = piece == 0 ? response.size() : piece;
  for (size_t at = 0; at < response.size() && outcome.fed; at += step)
    outcome.fed = parser.Feed(response.data() + at, std::min(step, response.size() - at));
  outcome.complete = outcome.fed && parser.FinishAtClose();
  outcome.status = parser.Status();
  return outcome;
}

TEST(HttpResponseParser, DecodesEveryBodyFraming) {
  const struct {
    const char* name;
    std::string response;
    int status;
    std::string body;
  } kCases[] = {
      {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello"},
      {"length ignores extra bytes", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", 200, "he"},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\nA\r\n, world!!!\r\n0\r\nX: y\r\n\r\n",
       200, "hello, world!!!"},
      {"close delimited", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nline 1\nline 2", 200, "line 1\nline 2"},
      {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc", 200, "abc"},
      {"interim answer skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 1\r\n\r\nx", 404,
       "x"},
      {"no content", "HTTP/1.1 204 No Content\r\n\r\n", 204, ""},
      {"empty length", "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", 302, ""},
      {"folded header", "HTTP/1.1 200 OK\r\nX-A: 1\r\n  2\r\nContent-Length: 1\r\n\r\nz", 200, "z"},
  };
  for (const auto& c : kCases) {
    for (size_t piece : {size_t(0), size_t(1), size_t(3)}) {
      Outcome outcome = Parse(c.response, piece);
      EXPECT_TRUE(outcome.complete) << c.name << " piece " << piece;
      EXPECT_EQ(outcome.status, c.status) << c.name;
      EXPECT_EQ(outcome.body, c.body) << c.name << " piece " << piece;
    }
  }
}

TEST(HttpResponseParser, RejectsMalformedOrCutResponses) {
  const struct {
    const char* name;
    std::string response;
  } kCases[] = {
      {"not http", "SSH-2.0-OpenSSH\r\n\r\n"},
      {"bad status", "HTTP/1.1 2x0 OK\r\n\r\n"},
      {"status glued to reason", "HTTP/1.1 200OK\r\n\r\n"},
      {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n"},
      {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: 12a\r\n\r\n"},
      {"huge length digits", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n"},
      {"body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
      {"chunk cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"},
      {"no last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n"},
      {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"},
      {"chunk size overflow", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFF\r\n"},
      {"chunk without end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n0\r\n\r\n"},
      {"protocol switch", "HTTP/1.1 101 Switching\r\n\r\n"},
      {"headers cut", "HTTP/1.1 200 OK\r\nContent-"},
      {"endless header line", "HTTP/1.1 200 OK\r\nX: " + std::string(10000, 'a')},
      {"too many header bytes", std::string("HTTP/1.1 200 OK\r\n") + [] {
         std::string many;
         for (int i = 0; i < 100; ++i) many.append("X-").append(std::to_string(i)).append(": ").append(1000, 'b').append("\r\n");
         return many;
       }()},
  };
  for (const auto& c : kCases) EXPECT_FALSE(Parse(c.response).complete) << c.name;
}

TEST(HttpResponseParser, FindsHeadersWithoutRegardToCase) {
  HttpResponseParser parser([](const char*, size_t) { return true; });
  std::string response = "HTTP/1.1 301 Moved\r\nLOCATION:  http://h/x \r\n\r\n";
  ASSERT_TRUE(parser.Feed(response.data(), response.size()));
  EXPECT_TRUE(parser.HeadersDone());
  EXPECT_EQ(parser.Header("Location"), "http://h/x");
  EXPECT_EQ(parser.Header("Content-Length"), std::nullopt);
}

TEST(HttpResponseParser, ASinkThatRefusesEndsTheResponse) {
  HttpResponseParser parser([](const char*, size_t) { return false; });
  std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc";
  EXPECT_FALSE(parser.Feed(response.data(), response.size()));
  EXPECT_TRUE(parser.Failed());
  EXPECT_FALSE(parser.FinishAtClose());
}

TEST(HttpResponseParser, SurvivesArbitraryBytes) {
  std::mt19937 random(20090718);
  const std::string seeds[] = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                               "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n", ""};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = seeds[round % 3];
    size_t extra = random() % 200;
    for (size_t i = 0; i < extra; ++i) bytes += char(random() % 4 == 0 ? "0123456789abcdef\r\n;:"[random() % 21] : random());
    Outcome outcome = Parse(bytes, 1 + random() % 16);
    EXPECT_LE(outcome.body.size(), bytes.size());
  }
}

TEST(HttpUrl, ParsesHttpAddresses) {
  const struct {
    const char* url;
    const char* host;
    uint16_t port;
    const char* target;
  } kCases[] = {
      {"http://update.example/updates.php?v=1&x=2", "update.example", 80, "/updates.php?v=1&x=2"},
      {"HTTP://Host:8080", "Host", 8080, "/"},
      {"http://h?q=1", "h", 80, "/?q=1"},
      {"http://h/a b\x01\xE9#frag", "h", 80, "/a%20b%01%E9"},
      {"http://[::1]:81/x", "::1", 81, "/x"},
      {"http://127.0.0.1:65535/", "127.0.0.1", 65535, "/"},
  };
  for (const auto& c : kCases) {
    auto url = ParseHttpUrl(c.url);
    ASSERT_TRUE(url) << c.url;
    EXPECT_EQ(url->host, c.host) << c.url;
    EXPECT_EQ(url->port, c.port) << c.url;
    EXPECT_EQ(url->target, c.target) << c.url;
  }
  for (const char* bad : {"https://h/", "ftp://h/", "http://", "http://:80/", "http://h:0/", "http://h:65536/",
                          "http://h:/", "http://user@h/", "http://h:8x/", "http://[::1/", "h/x"})
    EXPECT_FALSE(ParseHttpUrl(bad)) << bad;
}

TEST(HttpUrl, ResolvesRedirectLocations) {
  HttpUrl base = *ParseHttpUrl("http://h:8080/dir/page.php?q=1");
  const struct {
    const char* location;
    const char* host;
    uint16_t port;
    const char* target;
  } kCases[] = {
      {"http://other/x", "other", 80, "/x"},
      {"//other:81/y", "other", 81, "/y"},
      {"/root?z=2", "h", 8080, "/root?z=2"},
      {"next.php", "h", 8080, "/dir/next.php"},
      {"?r=3", "h", 8080, "/dir/page.php?r=3"},
  };
  for (const auto& c : kCases) {
    auto url = ResolveRedirect(base, c.location);
    ASSERT_TRUE(url) << c.location;
    EXPECT_EQ(url->host, c.host) << c.location;
    EXPECT_EQ(url->port, c.port) << c.location;
    EXPECT_EQ(url->target, c.target) << c.location;
  }
  EXPECT_FALSE(ResolveRedirect(base, "https://secure/"));
  EXPECT_FALSE(ResolveRedirect(base, ""));
  EXPECT_EQ(HostHeader(base), "h:8080");
  EXPECT_EQ(HostHeader(*ParseHttpUrl("http://[::1]/")), "[::1]");
}

}  // namespace
}  // namespace vermilax::platform::http
#endif
