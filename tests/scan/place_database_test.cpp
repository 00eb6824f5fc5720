#include "scan/place_database.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "env/folders.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text_encoding.h"
#include "support/archive_builder.h"
#include "support/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vermilax {
namespace {

// Folders of an imaginary Windows installation.
PlaceVariables FakeVariables(const std::string& appdata = "C:\\Users\\u\\AppData\\Roaming") {
  const std::map<int, std::string> folders = {
      {platform::kCsidlPersonal, "C:\\Users\\u\\Documents"},
      {platform::kCsidlProfile, "C:\\Users\\u"},
      {platform::kCsidlProgramFiles, "C:\\Program Files"},
      {platform::kCsidlSystem, "C:\\Windows\\system32"},
      {platform::kCsidlWindows, "C:\\Windows"},
      {platform::kCsidlProgramFilesCommon, "C:\\Program Files\\Common Files"},
      {platform::kCsidlAppData, appdata},
      {platform::kCsidlDesktop, "C:\\Users\\u\\Desktop"},
      {0x06, "C:\\Users\\u\\Favorites"},
      {platform::kCsidlStartMenu, "C:\\Users\\u\\Start Menu"},
  };
  return MakePlaceVariables(
      [&](int csidl) {
        auto found = folders.find(csidl);
        return found == folders.end() ? std::string() : found->second;
      },
      "C:\\Temp\\");
}

TEST(ExpandPlaceVariables, ReplacesEachVariableInTableOrderWithCaseCounting) {
  const PlaceVariables variables = FakeVariables();
  const struct {
    const char* text;
    const char* expanded;
  } kCases[] = {
      {"%appdata%\\x\\y.exe", "C:\\Users\\u\\AppData\\Roaming\\x\\y.exe"},
      {"%temp%\\a.exe", "C:\\Temp\\a.exe"},
      {"%tempdir%\\a.exe", "C:\\Temp\\a.exe"},
      {"%APPDATA%\\x", "%APPDATA%\\x"},
      {"%programfiles%\\a;%program%\\b", "C:\\Program Files\\a;C:\\Program Files\\b"},
      {"%sysdrive%\\boot.ini", "C:\\boot.ini"},
      {"%mydoc%|%profile%|%userprofile%", "C:\\Users\\u\\Documents|C:\\Users\\u|C:\\Users\\u"},
      {"%systemdir%%windir%%commondir%", "C:\\Windows\\system32C:\\WindowsC:\\Program Files\\Common Files"},
      {"%desktop%\\%favorites%\\%startmenu%", "C:\\Users\\u\\Desktop\\C:\\Users\\u\\Favorites\\C:\\Users\\u\\Start Menu"},
      {"%temp%%temp%", "C:\\TempC:\\Temp"},
      {"%unknown%\\%temp", "%unknown%\\%temp"},
  };
  for (const auto& c : kCases) EXPECT_EQ(ExpandPlaceVariables(c.text, variables), c.expanded) << c.text;
}

TEST(PlaceVariables, SystemDriveIsTheDrivePartOfTheWindowsFolder) {
  const struct {
    const char* windows;
    const char* drive;
  } kCases[] = {{"D:\\WINNT", "D:"}, {"\\\\server\\share\\windows", "\\\\server\\share"}, {"/var/lib/windows", ""}};
  for (const auto& c : kCases) {
    PlaceVariables variables = MakePlaceVariables(
        [&](int csidl) { return csidl == platform::kCsidlWindows ? std::string(c.windows) : std::string(); }, "");
    EXPECT_EQ(ExpandPlaceVariables("%sysdrive%", variables), c.drive) << c.windows;
  }
}

TEST(PlaceVariables, SystemValuesComeFromTheFolderGettersWithoutTrailingSeparators) {
  const PlaceVariables& variables = CurrentPlaceVariables();
  std::string temp = GetTempDir();
  while (!temp.empty() && (temp.back() == '\\' || temp.back() == '/')) temp.pop_back();
  EXPECT_EQ(ExpandPlaceVariables("%temp%"), temp);
  EXPECT_EQ(ExpandPlaceVariables("%tempdir%"), temp);
  EXPECT_EQ(ExpandPlaceVariables("%appdata%"), GetSpecialFolderPath(platform::kCsidlAppData));
  for (const auto& [name, value] : variables.Values) {
    if (value.size() > 1) {
      EXPECT_NE(value.back(), platform::PathSeparator()) << name;
    }
  }
}

TEST(PlaceDatabase, ParsesLinesIntoSlots) {
  const std::string long_name(70, 'n');
  const std::string long_path = "%appdata%\\" + std::string(250, 'p');
  const std::vector<std::string> lines = {
      "file|Trojan.Example|%appdata%\\x\\y.exe",
      "File|Trojan.Caps|%appdata%\\a.exe",  // not a file place: the path stays as written
      "file|a|b",                           // 8 characters: not parsed
      "file|a|bc",                          // 9 characters: parsed
      " file | Spaced | %temp%\\s.exe ",
      "file||Shifted|%temp%\\z.exe",  // empty fields are dropped, later ones move up
      "file|OnlyName",
      "",
      "file|" + long_name + "|" + long_path,
  };
  PlaceDatabase db(FakeVariables());
  db.AppendLines(lines);
  ASSERT_EQ(db.Count(), int32_t(lines.size()));
  const struct {
    int slot;
    uint8_t is_file;
    std::string name;
    std::string path;
  } kExpected[] = {
      {0, 1, "Trojan.Example", "C:\\Users\\u\\AppData\\Roaming\\x\\y.exe"},
      {1, 0, "Trojan.Caps", "%appdata%\\a.exe"},
      {2, 0, "", ""},
      {3, 1, "a", "bc"},
      {4, 1, "Spaced", "C:\\Temp\\s.exe"},
      {5, 1, "Shifted", "C:\\Temp\\z.exe"},
      {6, 1, "OnlyName", ""},
      {7, 0, "", ""},
      {8, 1, std::string(64, 'n'), ("C:\\Users\\u\\AppData\\Roaming\\" + std::string(250, 'p')).substr(0, 255)},
      {9, 0, "", ""},   // past the end
      {-1, 0, "", ""},  // before the start
  };
  for (const auto& e : kExpected) {
    const PlaceRec& record = db.Items(e.slot);
    EXPECT_EQ(record.IsFile, e.is_file) << e.slot;
    EXPECT_EQ(record.Name, e.name) << e.slot;
    EXPECT_EQ(record.Path, e.path) << e.slot;
  }
}

TEST(PlaceDatabase, LoadReplacesAndAppendAddsAfterTheExistingSlots) {
  test::ScratchFolder folder;
  const std::string first = folder.PathOf("pl.a"), second = folder.PathOf("more.a");
  test::WriteArchive(first, "file|One.A|c:\\one.exe\r\nx\r\nfile|Two.B|c:\\two.exe\r\n", "1");
  test::WriteArchive(second, "file|Three.C|c:\\three.exe", "2");
  PlaceDatabase db(FakeVariables());
  db.Load(first);
  ASSERT_EQ(db.Count(), 3);
  db.Append(second);
  ASSERT_EQ(db.Count(), 4);
  EXPECT_EQ(db.Items(2).Name, "Two.B");
  EXPECT_EQ(db.Items(3).Name, "Three.C");
  db.Append(folder.PathOf("missing.a"));  // unreadable: nothing changes
  folder.WriteFile("broken.a", "not an archive");
  db.Append(folder.PathOf("broken.a"));
  EXPECT_EQ(db.Count(), 4);
  db.Load(second);
  ASSERT_EQ(db.Count(), 1);
  EXPECT_EQ(db.Items(0).Name, "Three.C");
  db.Load(folder.PathOf("missing.a"));
  EXPECT_EQ(db.Count(), 0);
  EXPECT_EQ(db.Items(0).Name, "");
}

TEST(PlaceDatabase, PathsAreConvertedFromUtf8) {
  EXPECT_EQ(platform::Utf8ToAnsi("C:\\plain\\a.exe"), "C:\\plain\\a.exe");
  EXPECT_EQ(platform::Utf8ToAnsi(""), "");
#ifdef _WIN32
  if (GetACP() == 1252) {
    EXPECT_EQ(platform::Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
    PlaceDatabase db(FakeVariables());
    db.AppendLines({"file|Name.X|%temp%\\caf\xC3\xA9.exe"});
    EXPECT_EQ(db.Items(0).Path, "C:\\Temp\\caf\xE9.exe");
  }
#else
  EXPECT_EQ(platform::Utf8ToAnsi("caf\xC3\xA9"), "caf\xC3\xA9");
#endif
}

class CheckPlacesTest : public ::testing::Test {
 protected:
  // A database of file places in the scratch folder (standing in for %appdata%).
  void SetUp() override {
    const char sep = platform::PathSeparator();
    for (const char* name : {"clean.exe", "white.exe", "signed.exe", "unreadable.exe", "late.exe"})
      folder_.WriteFile(name, "harmless");
    db_ = std::make_unique<PlaceDatabase>(FakeVariables(folder_.Path()));
    std::vector<std::string> lines;
    for (const char* entry : {"file|Trojan.Example|clean.exe", "File|Caps.Kind|clean.exe", "reg|Other.Kind|clean.exe",
                              "file|Gone.Missing|missing.exe", "file|White.Listed|white.exe",
                              "file|Signed.File|signed.exe", "file|Cannot.Read|unreadable.exe", "file|Late.One|late.exe"}) {
      std::string line = entry;
      line.insert(line.rfind('|') + 1, std::string("%appdata%") + sep);
      lines.push_back(line);
    }
    db_->AppendLines(lines);
  }

  test::ScratchFolder folder_;
  std::unique_ptr<PlaceDatabase> db_;
};

TEST_F(CheckPlacesTest, ReportsExistingFilesThatAreNeitherWhiteListedNorTrusted) {
  std::vector<std::pair<std::string, std::string>> findings;
  PlaceChecks checks;
  checks.isWhiteListed = [&](const std::string& path) {
    if (path == folder_.PathOf("unreadable.exe")) throw std::runtime_error("cannot open");
    return path == folder_.PathOf("white.exe");
  };
  checks.isTrusted = [&](const std::string& path) { return path == folder_.PathOf("signed.exe"); };
  checks.onFinding = [&](const std::string& name, const std::string& path) { findings.emplace_back(name, path); };
  CheckPlaces(*db_, checks);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Trojan.Example", folder_.PathOf("clean.exe")},
      {"Late.One", folder_.PathOf("late.exe")},
  };
  EXPECT_EQ(findings, expected);
}

TEST_F(CheckPlacesTest, MissingTestsClearNothingAndAnInjectedExistenceTestIsUsed) {
  std::vector<std::string> names;
  PlaceChecks checks;
  checks.onFinding = [&](const std::string& name, const std::string&) { names.push_back(name); };
  CheckPlaces(*db_, checks);
  EXPECT_EQ(names, (std::vector<std::string>{"Trojan.Example", "White.Listed", "Signed.File", "Cannot.Read",
                                             "Late.One"}));
  names.clear();
  checks.isExistingFile = [](const std::string& path) { return path.find("missing.exe") != std::string::npos; };
  CheckPlaces(*db_, checks);
  EXPECT_EQ(names, std::vector<std::string>{"Gone.Missing"});
}

}  // namespace
}  // namespace vermilax
