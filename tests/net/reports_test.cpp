#include "net/reports.h"

#include <gtest/gtest.h>

#include <cctype>

#include "env/app_info.h"
#include "support/local_http_server.h"
#include "support/scratch_folder.h"

namespace vermilax {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // the encoder writes upper-case digits only
}

// What a server makes of a query value: %XX decoded; fails on anything that a
// query value must not hold raw.
::testing::AssertionResult Decode(const std::string& value, std::string& decoded) {
  decoded.clear();
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '%') {
      if (i + 2 >= value.size()) return ::testing::AssertionFailure() << "cut escape at " << i;
      const int high = HexValue(value[i + 1]), low = HexValue(value[i + 2]);
      if (high < 0 || low < 0) return ::testing::AssertionFailure() << "bad escape at " << i;
      decoded += char(high * 16 + low);
      i += 2;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~') {
      decoded += c;
    } else {
      return ::testing::AssertionFailure() << "raw character " << int(static_cast<unsigned char>(c)) << " at " << i;
    }
  }
  return ::testing::AssertionSuccess();
}

struct Query {
  std::string address, data, version;
};

// Splits a report URL into its address and its two decoded values.
::testing::AssertionResult ParseReportUrl(const std::string& url, Query& query) {
  const size_t data = url.find("?data="), ver = url.find("&ver=");
  if (data == std::string::npos || ver == std::string::npos || ver < data)
    return ::testing::AssertionFailure() << "no data/ver in " << url;
  if (url.find('&', data) != ver || url.find('&', ver + 1) != std::string::npos)
    return ::testing::AssertionFailure() << "a raw & in the values";
  query.address = url.substr(0, data);
  ::testing::AssertionResult decoded = Decode(url.substr(data + 6, ver - data - 6), query.data);
  if (!decoded) return decoded;
  return Decode(url.substr(ver + 5), query.version);
}

// Two finding blocks as the scan writes them.
const std::string kTwoFindings =
    "\r\n\r\n\r\n----- C:\\a b\\x.exe ---- General\tThreat\tTrojan.A\t\tMD5: 0CC1\r\n\r\n"
    "\r\n\r\n\r\n----- C:\\caf\xE9\\y.dll ---- BHO\tSuspicious\tName & Co #1 +50%\t\r\n";

TEST(BuildReportUrl, EveryCarriageReturnBecomesABreakAndTheServerGetsTheExactText) {
  const struct {
    const char* label;
    std::string text;
    std::string received;
  } kCases[] = {
      {"two findings",
       kTwoFindings,
       "<br>\n<br>\n<br>\n----- C:\\a b\\x.exe ---- General\tThreat\tTrojan.A\t\tMD5: 0CC1<br>\n<br>\n"
       "<br>\n<br>\n<br>\n----- C:\\caf\xE9\\y.dll ---- BHO\tSuspicious\tName & Co #1 +50%\t<br>\n"},
      {"no CR", "line one\nline two\tend", "line one\nline two\tend"},
      {"lone CR", "a\rb", "a<br>b"},
      {"empty", "", ""},
  };
  for (const auto& c : kCases) {
    const std::string url = BuildReportUrl("http://report.test/report/afterscan.php", c.text, "1.2.3.4");
    Query query;
    ASSERT_TRUE(ParseReportUrl(url, query)) << c.label;
    EXPECT_EQ(query.address, "http://report.test/report/afterscan.php") << c.label;
    EXPECT_EQ(query.data, c.received) << c.label;
    EXPECT_EQ(query.version, "1.2.3.4") << c.label;
  }
}

TEST(BuildReportUrl, EscapesAllButUnreservedCharactersInUpperCaseHex) {
  EXPECT_EQ(BuildReportUrl("http://r/x.php", "Az09-._~", "1.0.0.1"), "http://r/x.php?data=Az09-._~&ver=1.0.0.1");
  EXPECT_EQ(BuildReportUrl("http://r/x.php", std::string("\xFF\x00", 2), "1"), "http://r/x.php?data=%FF%00&ver=1");
  EXPECT_EQ(BuildReportUrl("http://r/x.php", "<\r\n>", "1"), "http://r/x.php?data=%3C%3Cbr%3E%0A%3E&ver=1");
}

TEST(ReportAddresses, EndInTheirPages) {
  const std::string after = AfterScanReportAddress(), fp = FalsePositiveReportAddress();
  EXPECT_EQ(after.substr(after.size() - 20), "report/afterscan.php");
  EXPECT_EQ(fp.substr(fp.size() - 24), "report/falsepositive.php");
}

class SendReportTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Listening()); }
  test::ScratchFolder temp_;
  test::TempFolderOverride redirect_{temp_.Path()};
  test::LocalHttpServer server_;
};

TEST_F(SendReportTest, TheServerDecodesTheReportTextAndTheVersion) {
  // The server answers only the exact request, so the test knows what it expects.
  const std::string target = BuildReportUrl("/report/falsepositive.php", kTwoFindings, GetAppInfo().FileVersion);
  server_.Serve(target, test::HttpReply{200, "ok"});
  EXPECT_TRUE(SendReport(server_.Url("/report/falsepositive.php"), kTwoFindings));
  const std::vector<std::string> requests = server_.RequestLines();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& line = requests[0];
  ASSERT_EQ(line.rfind("GET ", 0), 0u);
  Query query;
  ASSERT_TRUE(ParseReportUrl(line.substr(4, line.rfind(' ') - 4), query));
  EXPECT_EQ(query.address, "/report/falsepositive.php");
  std::string expected = kTwoFindings;
  for (size_t at = expected.find('\r'); at != std::string::npos; at = expected.find('\r', at)) expected.replace(at, 1, "<br>");
  EXPECT_EQ(query.data, expected);
  EXPECT_EQ(query.version, GetAppInfo().FileVersion);
  EXPECT_TRUE(temp_.Entries().empty());  // no cached copy left behind
}

TEST_F(SendReportTest, AFailedTransferIsFalse) {
#ifndef _WIN32
  // The server knows no such page and answers 404. (How the system's download
  // service treats error pages is its own affair, tested with the platform.)
  EXPECT_FALSE(SendReport(server_.Url("/report/nowhere.php"), "text"));
#endif
  uint16_t closed_port = 0;
  {
    test::LocalHttpServer gone;
    closed_port = gone.Port();
  }
  EXPECT_FALSE(SendReport("http://127.0.0.1:" + std::to_string(closed_port) + "/report/afterscan.php", "text"));
}

}  // namespace
}  // namespace vermilax
