#include "scan/settings.h"

#include "env/app_info.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "scan/registry_values.h"

namespace vermilax {

using platform::Hive;
namespace registry = platform::registry;

Settings& GetSettings() {
  static Settings settings;
  return settings;
}

void Settings::LoadSettings() {
  if (!registry::CreateKey(Hive::CurrentUser, kSettingsKey)) return;
  try {
    LoadValues();
  } catch (const RegistryReadError&) {
    // A value of the wrong kind ends the load; what was read so far stays.
  }
}

void Settings::LoadValues() {
  RegistryValueReader reader(Hive::CurrentUser, kSettingsKey);
  auto load_text = [&](std::string& field, const char* name) {
    std::string value = reader.ReadString(name);
    std::lock_guard lock(mutex_);
    field = value;
  };
  auto load_date_time = [&](double& field, const char* name) {
    double value = reader.ReadDateTime(name, 0);
    std::lock_guard lock(mutex_);
    field = value;
  };

  load_text(proxy_user_name_, "ProxyUserName");
  load_text(proxy_password_, "ProxyPassword");
  load_text(proxy_addr_, "ProxyAddr");
  load_text(proxy_port_, "ProxyPort");
  last_scan_result_ = reader.ReadInteger("LastScanResult", 0);
  minimize_to_tray_ = reader.ReadBool("MinimizeToTray", false);
  show_scan_error_ = reader.ReadBool("ShowScanError", false);
  auto_update_ = reader.ReadBool("AutoUpdate", true);
  heur_ = reader.ReadBool("Heur", true);
  use_sound_ = reader.ReadBool("UseSound", true);
  anonym_stats_ = reader.ReadBool("AnonymStats", true);
  if (reader.Exists("AutorunStartup")) {
    // Rewritten on every start so the entry follows the program when it moves.
    autorun_startup_ = reader.ReadBool("AutorunStartup", false);
    ApplyAutorun(autorun_startup_);
  } else {
    // First start: the program starts with Windows, though the flag reads false
    // until the user sets it.
    ApplyAutorun(true);
    autorun_startup_ = false;
  }
  scan_on_startup_ = reader.ReadBool("ScanOnStartup", true);
  use_proxy_ = reader.ReadBool("UseProxy", false);
  load_date_time(last_check_, "LastCheck");
  load_date_time(last_check_updates_, "LastCheckUpdates");
  deep_scan_ = reader.ReadBool("DeepScan", false);
}

void Settings::ApplyAutorun(bool on) {
  const std::string& name = GetAppInfo().ProductName;
  // Without a product name the entry would land on the key's default value.
  if (name.empty() || !registry::CreateKey(Hive::CurrentUser, kRunKey)) return;
  if (on) {
    std::string command = "\"";
    command += platform::ProgramPath();
    command += "\" 0";  // the trailing argument is never read
    registry::WriteString(Hive::CurrentUser, kRunKey, name, command);
  } else {
    registry::DeleteValue(Hive::CurrentUser, kRunKey, name);
  }
}

void Settings::ResetForTests() {
  {
    std::lock_guard lock(mutex_);
    proxy_user_name_.clear();
    proxy_password_.clear();
    proxy_addr_.clear();
    proxy_port_.clear();
    last_check_ = 0;
    last_check_updates_ = 0;
  }
  last_scan_result_ = 0;
  for (std::atomic<bool>* flag : {&minimize_to_tray_, &show_scan_error_, &auto_update_, &heur_, &use_sound_,
                                  &anonym_stats_, &autorun_startup_, &scan_on_startup_, &use_proxy_, &deep_scan_})
    *flag = false;
}

void Settings::StoreText(std::string& field, const char* name, const std::string& value) {
  {
    std::lock_guard lock(mutex_);
    field = value;
  }
  registry::WriteString(Hive::CurrentUser, kSettingsKey, name, value);
}

void Settings::StoreFlag(std::atomic<bool>& field, const char* name, bool value) {
  field = value;
  WriteBoolValue(Hive::CurrentUser, kSettingsKey, name, value);
}

void Settings::StoreDateTime(double& field, const char* name, double value) {
  {
    std::lock_guard lock(mutex_);
    field = value;
  }
  WriteDateTimeValue(Hive::CurrentUser, kSettingsKey, name, value);
}

std::string Settings::Text(const std::string& field) const {
  std::lock_guard lock(mutex_);
  return field;
}

double Settings::DateTime(const double& field) const {
  std::lock_guard lock(mutex_);
  return field;
}

void Settings::SetProxyUserName(const std::string& value) { StoreText(proxy_user_name_, "ProxyUserName", value); }
void Settings::SetProxyPassword(const std::string& value) { StoreText(proxy_password_, "ProxyPassword", value); }
void Settings::SetProxyAddr(const std::string& value) { StoreText(proxy_addr_, "ProxyAddr", value); }
void Settings::SetProxyPort(const std::string& value) { StoreText(proxy_port_, "ProxyPort", value); }

void Settings::SetLastScanResult(int32_t value) {
  last_scan_result_ = value;
  WriteIntegerValue(Hive::CurrentUser, kSettingsKey, "LastScanResult", value);
}

void Settings::SetMinimizeToTray(bool value) { StoreFlag(minimize_to_tray_, "MinimizeToTray", value); }
void Settings::SetShowScanError(bool value) { StoreFlag(show_scan_error_, "ShowScanError", value); }
void Settings::SetAutoUpdate(bool value) { StoreFlag(auto_update_, "AutoUpdate", value); }
void Settings::SetHeur(bool value) { StoreFlag(heur_, "Heur", value); }
void Settings::SetUseSound(bool value) { StoreFlag(use_sound_, "UseSound", value); }
void Settings::SetAnonymStats(bool value) { StoreFlag(anonym_stats_, "AnonymStats", value); }

void Settings::SetAutorunStartup(bool value) {
  StoreFlag(autorun_startup_, "AutorunStartup", value);
  ApplyAutorun(value);
}

void Settings::SetScanOnStartup(bool value) { StoreFlag(scan_on_startup_, "ScanOnStartup", value); }
void Settings::SetUseProxy(bool value) { StoreFlag(use_proxy_, "UseProxy", value); }
void Settings::SetLastCheck(double value) { StoreDateTime(last_check_, "LastCheck", value); }
void Settings::SetLastCheckUpdates(double value) { StoreDateTime(last_check_updates_, "LastCheckUpdates", value); }
void Settings::SetDeepScan(bool value) { StoreFlag(deep_scan_, "DeepScan", value); }

std::string Settings::ProxyUserName() const { return Text(proxy_user_name_); }
std::string Settings::ProxyPassword() const { return Text(proxy_password_); }
std::string Settings::ProxyAddr() const { return Text(proxy_addr_); }
std::string Settings::ProxyPort() const { return Text(proxy_port_); }
double Settings::LastCheck() const { return DateTime(last_check_); }
double Settings::LastCheckUpdates() const { return DateTime(last_check_updates_); }

}  // namespace vermilax
