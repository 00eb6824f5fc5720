#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/processes.h"
#ifndef _WIN32
#include "platform/posix/registry_store.h"
#endif

namespace vermilax::platform {
namespace {

// Each test works below its own key of the current user and removes it again.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    registry::ResetForTests();
#endif
    ASSERT_TRUE(registry::CreateKey(Hive::CurrentUser, root_));
  }
  void TearDown() override { registry::DeleteKeyTree(Hive::CurrentUser, "Software\\VermilaxTests"); }

  const std::string root_ = "Software\\VermilaxTests\\Run" + std::to_string(CurrentProcessId());
};

TEST_F(RegistryTest, ValuesRoundTripWithTheirKinds) {
  const std::string binary("\x00\x01\xFF\x7F", 4);
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, root_, "Text", "C:\\Program Files\\x.exe"));
  ASSERT_TRUE(registry::WriteExpandString(Hive::CurrentUser, root_, "Expand", "%windir%\\x.exe"));
  ASSERT_TRUE(registry::WriteDword(Hive::CurrentUser, root_, "Number", 0xDEADBEEF));
  ASSERT_TRUE(registry::WriteBinary(Hive::CurrentUser, root_, "Bytes", binary));
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, root_, "", "default"));

  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "Text"), ValueKind::String);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "Expand"), ValueKind::ExpandString);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "Number"), ValueKind::Dword);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "Bytes"), ValueKind::Binary);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "Missing"), ValueKind::None);

  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, "Text"), "C:\\Program Files\\x.exe");
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, "Expand"), "%windir%\\x.exe");  // not expanded
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, root_, "Number"), 0xDEADBEEFu);
  EXPECT_EQ(registry::ReadBinary(Hive::CurrentUser, root_, "Bytes"), binary);
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, ""), "default");
  EXPECT_EQ(registry::ReadBinary(Hive::CurrentUser, root_, "Missing"), std::nullopt);
}

TEST_F(RegistryTest, ReadersRefuseValuesOfAnotherKind) {
  // A flag stored as text must not read as a number (settings stop loading there).
  registry::WriteString(Hive::CurrentUser, root_, "Heur", "1");
  registry::WriteDword(Hive::CurrentUser, root_, "Count", 7);
  registry::WriteBinary(Hive::CurrentUser, root_, "Stamp", "12345678");

  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, root_, "Heur"), std::nullopt);
  EXPECT_EQ(registry::ReadBinary(Hive::CurrentUser, root_, "Heur"), std::nullopt);
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, "Count"), std::nullopt);
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, "Stamp"), std::nullopt);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, root_, "Stamp"), std::nullopt);
}

TEST_F(RegistryTest, RewritingAValueReplacesItsKindAndData) {
  registry::WriteString(Hive::CurrentUser, root_, "Heur", "text");
  registry::WriteDword(Hive::CurrentUser, root_, "heur", 1);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "HEUR"), ValueKind::Dword);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, root_, "Heur"), 1u);
  EXPECT_EQ(registry::ValueNames(Hive::CurrentUser, root_).size(), 1u);
}

TEST_F(RegistryTest, KeyPathsAndValueNamesIgnoreLetterCase) {
  registry::WriteString(Hive::CurrentUser, root_ + "\\MainForm", "Left", "10");
  std::string shouted = root_;
  for (char& c : shouted) c = char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, shouted + "\\MAINFORM"));
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, shouted + "\\mainform", "LEFT"), "10");
}

TEST_F(RegistryTest, StringsEndAtTheirFirstZeroCharacter) {
  registry::WriteString(Hive::CurrentUser, root_, "Cut", std::string("abc\0def", 7));
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_, "Cut"), "abc");
}

TEST_F(RegistryTest, ListsSubkeysAndValuesOfAKey) {
  for (const char* name : {"Beta", "alpha", "Gamma"}) registry::CreateKey(Hive::CurrentUser, root_ + "\\" + name);
  registry::CreateKey(Hive::CurrentUser, root_ + "\\alpha\\Deeper");
  for (const char* name : {"Zulu", "Alpha", "Mike"}) registry::WriteString(Hive::CurrentUser, root_, name, name);

  std::vector<std::string> keys = registry::SubkeyNames(Hive::CurrentUser, root_);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"Beta", "Gamma", "alpha"}));  // direct subkeys only
  std::vector<std::string> values = registry::ValueNames(Hive::CurrentUser, root_);
#ifndef _WIN32
  EXPECT_EQ(values, (std::vector<std::string>{"Zulu", "Alpha", "Mike"}));  // in the order written, as Windows does
#endif
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Alpha", "Mike", "Zulu"}));

  EXPECT_TRUE(registry::SubkeyNames(Hive::CurrentUser, root_ + "\\Missing").empty());
  EXPECT_TRUE(registry::ValueNames(Hive::CurrentUser, root_ + "\\Missing").empty());
}

TEST_F(RegistryTest, DeletesValuesAndWholeKeyTrees) {
  registry::WriteDword(Hive::CurrentUser, root_, "DisableTaskMgr", 1);
  EXPECT_TRUE(registry::DeleteValue(Hive::CurrentUser, root_, "disabletaskmgr"));
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_, "DisableTaskMgr"), ValueKind::None);
  EXPECT_FALSE(registry::DeleteValue(Hive::CurrentUser, root_, "DisableTaskMgr"));
  EXPECT_FALSE(registry::DeleteValue(Hive::CurrentUser, root_ + "\\Missing", "x"));

  const std::string service = root_ + "\\Services\\Foo";
  registry::WriteString(Hive::CurrentUser, service + "\\Parameters\\Deep", "ImagePath", "x");
  registry::WriteString(Hive::CurrentUser, service + "\\Enum", "0", "y");
  registry::WriteString(Hive::CurrentUser, root_ + "\\Services\\Bar", "ImagePath", "z");
  EXPECT_TRUE(registry::DeleteKeyTree(Hive::CurrentUser, service));
  EXPECT_FALSE(registry::KeyExists(Hive::CurrentUser, service));
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, root_ + "\\Services\\Bar"));
  EXPECT_FALSE(registry::DeleteKeyTree(Hive::CurrentUser, service));
}

TEST_F(RegistryTest, NeverDeletesAWholeHive) {
  for (const char* root : {"", "\\", "\\\\"}) EXPECT_FALSE(registry::DeleteKeyTree(Hive::CurrentUser, root)) << root;
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, root_));
}

TEST_F(RegistryTest, MissingKeysReadAsAbsent) {
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, root_, registry::KeyAccess::Full));
  EXPECT_FALSE(registry::KeyExists(Hive::CurrentUser, root_ + "\\Nope"));
  EXPECT_FALSE(registry::KeyExists(Hive::CurrentUser, root_ + "\\Nope", registry::KeyAccess::Full));
  EXPECT_EQ(registry::ReadString(Hive::CurrentUser, root_ + "\\Nope", "x"), std::nullopt);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, root_ + "\\Nope", "x"), std::nullopt);
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, root_ + "\\Nope", "x"), ValueKind::None);
  // Reading does not create anything.
  EXPECT_FALSE(registry::KeyExists(Hive::CurrentUser, root_ + "\\Nope"));
}

}  // namespace
}  // namespace vermilax::platform
