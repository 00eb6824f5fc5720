#include "cli/pe_commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <sstream>

#include "engine/md5.h"
#include "engine/pe_scanner_ex.h"
#include "platform/files.h"
#include "support/pe_writer.h"
#include "support/scratch_file.h"
#include "support/tool_run.h"

namespace vermilax {
namespace {

using test::PeBuilder;
using test::ScratchFile;

using test::RunTool;
using test::ToolRun;

nlohmann::json PeJson(const std::string& path) {
  ToolRun run = RunTool({"pe", path});
  EXPECT_EQ(run.err, "");
  return nlohmann::json::parse(run.out);
}

TEST(PeCommand, ReportsTheAnalysisOfAProgram) {
  PeBuilder builder;
  builder.entry_point_bytes = "\x55\x8B\xEC";
  builder.imports = {{"KERNEL32.dll", {{"ExitProcess", 0, 0}, {"Sleep", 0, 0}}}};
  builder.exports = test::PeExportTable{};
  builder.exports->functions = {{"Run", 0x1000, {}}};
  test::BuiltPe built = builder.BuildWithLayout();
  const std::string& bytes = built.bytes;
  const uint32_t text_at = built.sections[0].raw_pointer;
  ScratchFile file(bytes, ".exe");

  nlohmann::json j = PeJson(file.path());
  EXPECT_EQ(j["error"], "");
  EXPECT_EQ(j["result"], 1);
  EXPECT_EQ(j["pe32plus"], false);
  EXPECT_EQ(j["executable_image"], true);
  EXPECT_EQ(j["subsystem"], 2);
  EXPECT_EQ(j["file_size"], bytes.size());
  EXPECT_EQ(j["md5"], DigestToHex(MD5OfString(bytes)));
  EXPECT_EQ(j["entry_point_offset"], text_at);
  EXPECT_EQ(j["ep_hex"].get<std::string>().substr(0, 6), "558BEC");
  EXPECT_EQ(j["ep_hex"].get<std::string>().size(), 128u);
  EXPECT_EQ(j["upx_layout"], false);
  EXPECT_EQ(j["packer_kind"], 0);
  EXPECT_EQ(j["imports"], "ExitProcess,Sleep,");
  EXPECT_EQ(j["exports"], "Run,");
  ASSERT_EQ(j["sections"].size(), 4u);
  const nlohmann::json& text = j["sections"][0];
  EXPECT_EQ(text["name"], ".text");
  EXPECT_EQ(text["virtual_address"], 0x1000);
  EXPECT_EQ(text["raw_offset"], text_at);
  EXPECT_EQ(text["aligned_raw_size"], 0x200);
  EXPECT_EQ(text["md5"], DigestToHex(MD5OfString(bytes.substr(text_at, 0x200))));
}

TEST(PeCommand, ExtensionDecidesWhetherDamageIsReported) {
  PeBuilder builder;
  builder.size_of_optional_header = 200;
  const std::string bytes = builder.Build();
  const struct {
    const char* suffix;
    int result;
    const char* name;
  } kCases[] = {{".exe", 1, "Broken.Executable"}, {".Dll", 1, "Broken.Executable"}, {".CPL", 1, "Broken.Executable"},
                {".ocx", 1, "Broken.Executable"}, {".scr", 0, ""},                  {".sys", 0, ""}};
  for (const auto& c : kCases) {
    ScratchFile file(bytes, c.suffix);
    nlohmann::json j = PeJson(file.path());
    EXPECT_EQ(j["error"], "SizeOfOptionalHeader too small") << c.suffix;
    EXPECT_EQ(j["result"], c.result) << c.suffix;
    EXPECT_EQ(j["context_name"], c.name) << c.suffix;
  }
}

TEST(PeCommand, BytesThatAreNotUtf8NeverBreakTheOutput) {
  PeBuilder builder;
  builder.sections[0].name = "\xFF\xFE\x80";
  builder.imports = {{"m\xE9.dll", {{"F\xFFn", 0, 0}}}};
  ScratchFile file(builder.Build(), ".dll");
  nlohmann::json j = PeJson(file.path());
  EXPECT_EQ(j["result"], 1);
  EXPECT_EQ(j["sections"][0]["name"], "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(j["imports"], "F\xEF\xBF\xBDn,");
}

TEST(PeCommand, MissingFileAndUsage) {
  ToolRun missing = RunTool({"pe", platform::TempFolder() + "vermilax-missing.exe"});
  EXPECT_EQ(missing.code, 1);
  nlohmann::json j = nlohmann::json::parse(missing.out);
  EXPECT_EQ(j["error"], "NF");
  EXPECT_TRUE(j["result"].is_null());

  for (const auto& args : {std::vector<std::string>{"pe"}, std::vector<std::string>{"describe"},
                           std::vector<std::string>{"sections"}}) {
    ToolRun run = RunTool(args);
    EXPECT_EQ(run.code, 2) << args[0];
    EXPECT_NE(run.err.find("usage: vermilax-cli " + args[0]), std::string::npos);
  }
  ToolRun help = RunTool({"--help"});
  for (const char* command : {"pe FILE", "sections FILE...", "describe FILE"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

TEST(SectionsCommand, OneSignatureLinePerSectionWithRawData) {
  PeBuilder builder;
  test::PeSection bss;
  bss.name = ".bss";
  bss.virtual_size = 0x400;
  builder.sections.insert(builder.sections.begin() + 1, bss);
  builder.sections[2].name = "d:a\nta";
  const std::string bytes = builder.Build();
  ScratchFile file(bytes, ".exe");
  const std::string bare = file.path().substr(file.path().find_last_of("\\/") + 1);

  ToolRun run = RunTool({"sections", file.path()});
  EXPECT_EQ(run.code, 0) << run.err;
  const std::string expected = "512:" + DigestToHex(MD5OfString(bytes.substr(0x200, 0x200))) + ":" + bare +
                               " .text\r\n" + "512:" + DigestToHex(MD5OfString(bytes.substr(0x400, 0x200))) + ":" +
                               bare + " d_a_ta\r\n";
  EXPECT_EQ(run.out, expected);
  // Every line has the three fields of a section-signature line.
  const std::regex line("(\\d+):([0-9A-F]{32}):([^:\\r\\n]+)\\r");
  std::istringstream lines(run.out);
  for (std::string l; std::getline(lines, l);) EXPECT_TRUE(std::regex_match(l, line)) << l;
}

TEST(SectionsCommand, FilesWithoutUsableSectionsAreReported) {
  ScratchFile text("plain text", ".exe");
  PeBuilder wide;
  wide.pe32plus = true;
  ScratchFile pe32plus(wide.Build(), ".dll");
  ScratchFile good(PeBuilder().Build(), ".exe");
  ToolRun run = RunTool({"sections", text.path(), pe32plus.path(), good.path()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(text.path() + ": Invalid DOS signature"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(pe32plus.path() + ": not a PE32 file"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
}

TEST(DescribeCommand, PrintsTheSummaryByteForByte) {
  ScratchFile file(PeBuilder().Build(), ".exe");
  ToolRun run = RunTool({"describe", file.path()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, DescribeFile(file.path(), false));
  EXPECT_EQ(run.out.substr(0, 6), "\tMD5: ");
}

}  // namespace
}  // namespace vermilax
