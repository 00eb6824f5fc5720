#include "scan/settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "env/app_info.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "scan/registry_values.h"

namespace vermilax {
namespace {

using platform::Hive;
using platform::ValueKind;
namespace registry = platform::registry;

// Every test starts from a registry without the settings key or the start-up
// entry, and from a Settings object that has loaded nothing.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    registry::DeleteKeyTree(Hive::CurrentUser, kSettingsKey);
    registry::DeleteValue(Hive::CurrentUser, kRunKey, RunName());
    GetSettings().ResetForTests();
  }
  static std::string RunName() { return GetAppInfo().ProductName; }
  static std::optional<std::string> RunEntry() { return registry::ReadString(Hive::CurrentUser, kRunKey, RunName()); }
  static std::string ExpectedRunEntry() {
    std::string entry = "\"";
    entry += platform::ProgramPath();
    return entry + "\" 0";
  }
  static Settings& S() { return GetSettings(); }
};

TEST_F(SettingsTest, BeforeLoadingEverythingIsZero) {
  EXPECT_FALSE(S().AutoUpdate());
  EXPECT_FALSE(S().Heur());
  EXPECT_FALSE(S().ScanOnStartup());
  EXPECT_EQ(S().LastScanResult(), 0);
  EXPECT_EQ(S().LastCheck(), 0.0);
  EXPECT_EQ(S().ProxyAddr(), "");
}

TEST_F(SettingsTest, FirstStartCreatesTheKeyUsesDefaultsAndWritesTheStartupEntry) {
  S().LoadSettings();
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, kSettingsKey));
  EXPECT_TRUE(S().AutoUpdate());
  EXPECT_TRUE(S().Heur());
  EXPECT_TRUE(S().UseSound());
  EXPECT_TRUE(S().AnonymStats());
  EXPECT_TRUE(S().ScanOnStartup());
  EXPECT_FALSE(S().DeepScan());
  EXPECT_FALSE(S().ShowScanError());
  EXPECT_FALSE(S().MinimizeToTray());
  EXPECT_FALSE(S().UseProxy());
  EXPECT_EQ(S().LastCheck(), 0.0);
  EXPECT_EQ(S().LastCheckUpdates(), 0.0);
  EXPECT_EQ(S().LastScanResult(), 0);
  EXPECT_EQ(S().ProxyUserName(), "");
  // The entry is written although the flag reads false until the user sets it.
  EXPECT_FALSE(S().AutorunStartup());
  EXPECT_EQ(RunName(), "Quorvo Vermilax");
  EXPECT_EQ(RunEntry(), ExpectedRunEntry());
  // Loading writes no settings values of its own.
  EXPECT_TRUE(registry::ValueNames(Hive::CurrentUser, kSettingsKey).empty());
}

TEST_F(SettingsTest, HeurStoredAsStringStopsTheLoadThere) {
  registry::WriteString(Hive::CurrentUser, kSettingsKey, "Heur", "1");
  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "DeepScan", 1);
  S().LoadSettings();
  EXPECT_TRUE(S().AutoUpdate());  // read before "Heur": its default
  EXPECT_FALSE(S().Heur());
  EXPECT_FALSE(S().UseSound());
  EXPECT_FALSE(S().AnonymStats());
  EXPECT_FALSE(S().ScanOnStartup());
  EXPECT_FALSE(S().DeepScan());
  EXPECT_EQ(RunEntry(), std::nullopt);  // the start-up step was never reached
}

// One row per value in load order: how to store a readable value, how to store
// one of the wrong kind, and how the loaded value shows.
struct LoadStep {
  const char* name;
  std::function<void()> store_readable;
  std::function<void()> store_wrong;
  std::function<std::string()> observe;
};

std::vector<LoadStep> LoadSteps() {
  auto text = [](const char* name, const char* value, std::string (Settings::*get)() const) {
    return LoadStep{name, [=] { registry::WriteString(Hive::CurrentUser, kSettingsKey, name, value); },
                    [=] { registry::WriteDword(Hive::CurrentUser, kSettingsKey, name, 1); },
                    [=] { return (GetSettings().*get)(); }};
  };
  auto flag = [](const char* name, bool (Settings::*get)() const) {
    return LoadStep{name, [=] { registry::WriteDword(Hive::CurrentUser, kSettingsKey, name, 1); },
                    [=] { registry::WriteString(Hive::CurrentUser, kSettingsKey, name, "1"); },
                    [=] { return std::string((GetSettings().*get)() ? "true" : "false"); }};
  };
  auto date_time = [](const char* name, double value, double (Settings::*get)() const) {
    return LoadStep{name, [=] { WriteDateTimeValue(Hive::CurrentUser, kSettingsKey, name, value); },
                    [=] { registry::WriteBinary(Hive::CurrentUser, kSettingsKey, name, "7 bytes"); },
                    [=] { return std::to_string((GetSettings().*get)()); }};
  };
  return {
      text("ProxyUserName", "user", &Settings::ProxyUserName),
      text("ProxyPassword", "secret", &Settings::ProxyPassword),
      text("ProxyAddr", "proxy.example", &Settings::ProxyAddr),
      text("ProxyPort", "8080", &Settings::ProxyPort),
      LoadStep{"LastScanResult", [] { registry::WriteDword(Hive::CurrentUser, kSettingsKey, "LastScanResult", 5); },
               [] { registry::WriteBinary(Hive::CurrentUser, kSettingsKey, "LastScanResult", "\5\0\0\0"); },
               [] { return std::to_string(GetSettings().LastScanResult()); }},
      flag("MinimizeToTray", &Settings::MinimizeToTray),
      flag("ShowScanError", &Settings::ShowScanError),
      flag("AutoUpdate", &Settings::AutoUpdate),
      flag("Heur", &Settings::Heur),
      flag("UseSound", &Settings::UseSound),
      flag("AnonymStats", &Settings::AnonymStats),
      flag("AutorunStartup", &Settings::AutorunStartup),
      flag("ScanOnStartup", &Settings::ScanOnStartup),
      flag("UseProxy", &Settings::UseProxy),
      date_time("LastCheck", 45000.25, &Settings::LastCheck),
      date_time("LastCheckUpdates", 45001.5, &Settings::LastCheckUpdates),
      flag("DeepScan", &Settings::DeepScan),
  };
}

TEST_F(SettingsTest, TheFirstUnreadableValueEndsTheLoadAndLaterValuesStayZero) {
  std::vector<LoadStep> steps = LoadSteps();
  std::vector<std::string> zero, loaded;
  for (const LoadStep& step : steps) zero.push_back(step.observe());
  for (const LoadStep& step : steps) step.store_readable();
  S().LoadSettings();
  for (const LoadStep& step : steps) loaded.push_back(step.observe());
  for (size_t i = 0; i < steps.size(); ++i) ASSERT_NE(zero[i], loaded[i]) << steps[i].name;

  const size_t autorun = 11;
  ASSERT_STREQ(steps[autorun].name, "AutorunStartup");
  for (size_t broken = 0; broken < steps.size(); ++broken) {
    Clean();
    for (const LoadStep& step : steps) step.store_readable();
    steps[broken].store_wrong();
    S().LoadSettings();
    for (size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(steps[i].observe(), i < broken ? loaded[i] : zero[i])
          << steps[i].name << " with " << steps[broken].name << " unreadable";
    }
    EXPECT_EQ(RunEntry().has_value(), broken > autorun) << steps[broken].name << " unreadable";
  }
}

TEST_F(SettingsTest, FlagsReadTrueForAnyNonZeroNumber) {
  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "DeepScan", 2);
  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "Heur", 0);
  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "LastScanResult", 0xFFFFFFFF);
  S().LoadSettings();
  EXPECT_TRUE(S().DeepScan());
  EXPECT_FALSE(S().Heur());
  EXPECT_EQ(S().LastScanResult(), -1);
}

TEST_F(SettingsTest, EverySetterWritesItsValueAtOnce) {
  S().SetProxyUserName("user");
  S().SetProxyPassword("secret");
  S().SetProxyAddr("proxy.example");
  S().SetProxyPort("3128");
  S().SetLastScanResult(42);
  S().SetMinimizeToTray(true);
  S().SetShowScanError(true);
  S().SetAutoUpdate(false);
  S().SetHeur(false);
  S().SetUseSound(false);
  S().SetAnonymStats(false);
  S().SetAutorunStartup(true);
  S().SetScanOnStartup(false);
  S().SetUseProxy(true);
  S().SetLastCheck(45100.5);
  S().SetLastCheckUpdates(45099.25);
  S().SetDeepScan(true);

  // Stored with the registry types the loader expects.
  EXPECT_EQ(registry::KindOf(Hive::CurrentUser, kSettingsKey, "ProxyPort"), ValueKind::String);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, kSettingsKey, "Heur"), 0u);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, kSettingsKey, "DeepScan"), 1u);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, kSettingsKey, "LastScanResult"), 42u);
  EXPECT_EQ(registry::ReadBinary(Hive::CurrentUser, kSettingsKey, "LastCheck"), EncodeDateTime(45100.5));

  // A fresh load sees every value, each from its own name.
  S().ResetForTests();
  S().LoadSettings();
  EXPECT_EQ(S().ProxyUserName(), "user");
  EXPECT_EQ(S().ProxyPassword(), "secret");
  EXPECT_EQ(S().ProxyAddr(), "proxy.example");
  EXPECT_EQ(S().ProxyPort(), "3128");
  EXPECT_EQ(S().LastScanResult(), 42);
  EXPECT_TRUE(S().MinimizeToTray());
  EXPECT_TRUE(S().ShowScanError());
  EXPECT_FALSE(S().AutoUpdate());
  EXPECT_FALSE(S().Heur());
  EXPECT_FALSE(S().UseSound());
  EXPECT_FALSE(S().AnonymStats());
  EXPECT_TRUE(S().AutorunStartup());
  EXPECT_FALSE(S().ScanOnStartup());
  EXPECT_TRUE(S().UseProxy());
  EXPECT_EQ(S().LastCheck(), 45100.5);
  EXPECT_EQ(S().LastCheckUpdates(), 45099.25);
  EXPECT_TRUE(S().DeepScan());
}

TEST_F(SettingsTest, StoredAutorunFlagRewritesOrRemovesTheStartupEntry) {
  registry::WriteString(Hive::CurrentUser, kRunKey, RunName(), "\"C:\\old place\\vermilax.exe\" 0");
  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "AutorunStartup", 1);
  S().LoadSettings();
  EXPECT_TRUE(S().AutorunStartup());
  EXPECT_EQ(RunEntry(), ExpectedRunEntry());  // follows the program to its current path

  registry::WriteDword(Hive::CurrentUser, kSettingsKey, "AutorunStartup", 0);
  S().LoadSettings();
  EXPECT_FALSE(S().AutorunStartup());
  EXPECT_EQ(RunEntry(), std::nullopt);
}

TEST_F(SettingsTest, SetAutorunStartupStoresTheFlagAndTheEntry) {
  S().SetAutorunStartup(true);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, kSettingsKey, "AutorunStartup"), 1u);
  EXPECT_EQ(RunEntry(), ExpectedRunEntry());
  S().SetAutorunStartup(false);
  EXPECT_EQ(registry::ReadDword(Hive::CurrentUser, kSettingsKey, "AutorunStartup"), 0u);
  EXPECT_EQ(RunEntry(), std::nullopt);
  S().ApplyAutorun(false);  // removing an absent entry is harmless
  EXPECT_EQ(RunEntry(), std::nullopt);
}

TEST_F(SettingsTest, ScanAndUpdateTimesAreKeptApart) {
  S().SetLastCheckUpdates(45200.125);
  S().SetLastCheck(45200.75);
  S().ResetForTests();
  S().LoadSettings();
  EXPECT_EQ(S().LastCheckUpdates(), 45200.125);
  EXPECT_EQ(S().LastCheck(), 45200.75);
}

TEST(DateTimeEncodingTest, IsAnEightByteLittleEndianDouble) {
  EXPECT_EQ(EncodeDateTime(0), std::string(8, '\0'));
  EXPECT_EQ(EncodeDateTime(1.0), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
  EXPECT_EQ(EncodeDateTime(-2.0), std::string("\0\0\0\0\0\0\0\xC0", 8));
  for (double days : {0.0, 1.0, 36526.5, 45123.999988425923, -693593.0, 2958465.99999})
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(days)), days);
  EXPECT_EQ(DecodeDateTime(std::string(7, '\0')), std::nullopt);
  EXPECT_EQ(DecodeDateTime(std::string(9, '\0')), std::nullopt);
  EXPECT_EQ(DecodeDateTime(""), std::nullopt);
}

}  // namespace
}  // namespace vermilax
