#include "env/url_helpers.h"

#include <gtest/gtest.h>

#include "env/file_helpers.h"
#include "platform/url_fetch.h"
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
  uint16_t closed_port = 0;
  {
    test::LocalHttpServer gone;  // nobody listens on its port once it is gone
    closed_port = gone.Port();
  }
  std::vector<std::string> list = {"kept"};
  EXPECT_FALSE(DownloadToList("http://127.0.0.1:" + std::to_string(closed_port) + "/updates.php", &list));
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
  server_.Serve("/ok.txt", HttpReply{200, "x"});
  EXPECT_FALSE(DownloadToList(server_.Url("/ok.txt"), nullptr));
}

TEST_F(Downloads, DownloadToCacheDeliversTheQueryAndKeepsNoCopy) {
  test::ScratchFolder temp;
  test::TempFolderOverride redirect(temp.Path());
  server_.Serve("/report/afterscan.php?id=42&data=abc", HttpReply{200, "thanks"});
  EXPECT_TRUE(DownloadToCache(server_.Url("/report/afterscan.php?id=42&data=abc")));
  std::vector<std::string> requests = server_.RequestLines();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, 41), "GET /report/afterscan.php?id=42&data=abc ");
#ifndef _WIN32
  EXPECT_TRUE(temp.Entries().empty());  // natively the cached copy lives in the temporary folder
#endif
}

TEST_F(Downloads, TheCachedCopyHoldsTheBodyUntilDiscarded) {
  server_.Serve("/check_ver.php", HttpReply{200, "1.0.0.7"});
  std::string cache_file;
  ASSERT_TRUE(platform::DownloadUrlToCacheFile(server_.Url("/check_ver.php"), cache_file));
  EXPECT_EQ(ReadFileToString(cache_file), "1.0.0.7");
  platform::DiscardCachedUrl(server_.Url("/check_ver.php"), cache_file);
  EXPECT_FALSE(IsExistingFile(cache_file));
}

TEST_F(Downloads, FollowsRedirects) {
  server_.Serve("/old.php", HttpReply{302, "", HttpReply::Framing::ContentLength, {{"Location", server_.Url("/new.txt")}}});
  server_.Serve("/new.txt", HttpReply{200, "moved here\r\n"});
  std::vector<std::string> list;
  EXPECT_TRUE(DownloadToList(server_.Url("/old.php"), &list));
  EXPECT_EQ(list, std::vector<std::string>{"moved here"});
}

#ifndef _WIN32
// Rules of the native client; on Windows the system's service decides (Wine, for
// one, counts a 404 or 500 answer as fetched and cannot cache addresses without
// a file extension, which the program's addresses all have).
TEST_F(Downloads, NativeClientAcceptsOnlyStatus200) {
  server_.Serve("/error.php", HttpReply{500, "oops"});
  std::vector<std::string> list = {"kept"};
  EXPECT_FALSE(DownloadToList(server_.Url("/missing.php"), &list));  // 404
  EXPECT_FALSE(DownloadToList(server_.Url("/error.php"), &list));
  EXPECT_FALSE(DownloadToCache(server_.Url("/report/missing.php")));
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST_F(Downloads, NativeClientFollowsAtMostFiveRedirects) {
  for (int i = 0; i < 6; ++i)
    server_.Serve("/hop" + std::to_string(i),
                  HttpReply{301, "", HttpReply::Framing::ContentLength, {{"Location", "/hop" + std::to_string(i + 1)}}});
  server_.Serve("/hop6", HttpReply{200, "end"});
  EXPECT_TRUE(DownloadToCache(server_.Url("/hop1")));   // five redirects
  EXPECT_FALSE(DownloadToCache(server_.Url("/hop0")));  // six
}

TEST(NativeDownloads, OtherSchemesFail) {
  EXPECT_FALSE(DownloadToCache("https://127.0.0.1/"));
  EXPECT_FALSE(DownloadToCache("not a url"));
}
#endif

}  // namespace
}  // namespace vermilax
