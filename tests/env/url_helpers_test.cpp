#include "env/url_helpers.h"

#include <gtest/gtest.h>

#include "support/local_http_server.h"
#include "support/scratch_folder.h"

namespace vermilax {
namespace {

using test::HttpReply;

TEST(SplitLines, AcceptsEveryLineEnd) {
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } kCases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\r\ntwo\r\n", {"one", "two"}},
      {"one\rtwo\nthree", {"one", "two", "three"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
      {"\r\n", {""}},
  };
  for (const auto& c : kCases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

class Downloads : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Listening()); }
  test::LocalHttpServer server_;
};

TEST_F(Downloads, DownloadToListReadsEveryFraming) {
  const std::string body = "1.0.0.12\r\nmd.c|ABC\r\nvs.c|DEF\nlast";
  const std::vector<std::string> lines = {"1.0.0.12", "md.c|ABC", "vs.c|DEF", "last"};
  const struct {
    const char* target;
    HttpReply::Framing framing;
  } kCases[] = {
      {"/length.php?v=1", HttpReply::Framing::ContentLength},
      {"/chunked.php?v=2", HttpReply::Framing::Chunked},
      {"/close.php?v=3", HttpReply::Framing::CloseDelimited},
  };
  for (const auto& c : kCases) {
    server_.Serve(c.target, HttpReply{200, body, c.framing});
    std::vector<std::string> list = {"old entry"};
    EXPECT_TRUE(DownloadToList(server_.Url(c.target), &list)) << c.target;
    EXPECT_EQ(list, lines) << c.target;
  }
  std::vector<std::string> requests = server_.RequestLines();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].substr(0, 24), "GET /length.php?v=1 HTTP");
}

TEST_F(Downloads, FailuresLeaveTheListAlone) {
  server_.Serve("/error", HttpReply{500, "oops"});
  std::vector<std::string> list = {"kept"};
  EXPECT_FALSE(DownloadToList(server_.Url("/missing"), &list));  // 404
  EXPECT_FALSE(DownloadToList(server_.Url("/error"), &list));
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
  server_.Serve("/ok", HttpReply{200, "x"});
  EXPECT_FALSE(DownloadToList(server_.Url("/ok"), nullptr));
}

TEST_F(Downloads, DownloadToCacheDeliversTheQueryAndKeepsNoCopy) {
  test::ScratchFolder temp;
  test::TempFolderOverride redirect(temp.Path());
  server_.Serve("/report/afterscan.php?id=42&data=abc", HttpReply{200, "thanks"});
  EXPECT_TRUE(DownloadToCache(server_.Url("/report/afterscan.php?id=42&data=abc")));
  EXPECT_FALSE(DownloadToCache(server_.Url("/report/missing.php")));
  std::vector<std::string> requests = server_.RequestLines();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, 41), "GET /report/afterscan.php?id=42&data=abc ");
#ifndef _WIN32
  EXPECT_TRUE(temp.Entries().empty());  // natively the cached copy lives in the temporary folder
#endif
}

TEST_F(Downloads, FollowsRedirects) {
  server_.Serve("/old", HttpReply{302, "", HttpReply::Framing::ContentLength, {{"Location", server_.Url("/new")}}});
  server_.Serve("/new", HttpReply{200, "moved here\r\n"});
  std::vector<std::string> list;
  EXPECT_TRUE(DownloadToList(server_.Url("/old"), &list));
  EXPECT_EQ(list, std::vector<std::string>{"moved here"});
}

#ifndef _WIN32
// Limits of the native client (the Windows service has its own).
TEST_F(Downloads, NativeClientFollowsAtMostFiveRedirects) {
  for (int i = 0; i < 6; ++i)
    server_.Serve("/hop" + std::to_string(i),
                  HttpReply{301, "", HttpReply::Framing::ContentLength, {{"Location", "/hop" + std::to_string(i + 1)}}});
  server_.Serve("/hop6", HttpReply{200, "end"});
  EXPECT_TRUE(DownloadToCache(server_.Url("/hop1")));   // five redirects
  EXPECT_FALSE(DownloadToCache(server_.Url("/hop0")));  // six
}

TEST(NativeDownloads, UnreachableServersAndOtherSchemesFail) {
  uint16_t port = 0;
  {
    test::LocalHttpServer gone;  // a port that nobody listens on once it is closed
    port = gone.Port();
  }
  EXPECT_FALSE(DownloadToCache("http://127.0.0.1:" + std::to_string(port) + "/"));
  EXPECT_FALSE(DownloadToCache("https://127.0.0.1/"));
  EXPECT_FALSE(DownloadToCache("not a url"));
}
#endif

}  // namespace
}  // namespace vermilax
