#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace vermilax {

// Registry keys of the settings and of the Windows start-up list (current user).
inline constexpr char kSettingsKey[] = "Software\\Quorvo\\Vermilax";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The user's options and a few remembered values, kept in the registry of the
// current user. Every setter writes its value at once; registry failures are
// swallowed and the value in memory changes all the same. The user interface
// thread writes; any thread may read (a running scan sees a change at its next read).
class Settings {
 public:
  // Reads every value in a fixed order; the first value that cannot be read
  // (another registry type, a date-time of another size) ends the load and the
  // values after it keep their state from before.
  void LoadSettings();

  // Writes or removes this program's start-up entry.
  void ApplyAutorun(bool on);

  // Back to the state before any load: flags false, numbers 0, strings empty.
  void ResetForTests();

  void SetProxyUserName(const std::string& value);
  void SetProxyPassword(const std::string& value);
  void SetProxyAddr(const std::string& value);
  void SetProxyPort(const std::string& value);
  void SetLastScanResult(int32_t value);
  void SetMinimizeToTray(bool value);
  void SetShowScanError(bool value);
  void SetAutoUpdate(bool value);
  void SetHeur(bool value);
  void SetUseSound(bool value);
  void SetAnonymStats(bool value);
  // Also rewrites or removes the start-up entry.
  void SetAutorunStartup(bool value);
  void SetScanOnStartup(bool value);
  void SetUseProxy(bool value);
  // Date-times count days since 1899-12-30; 0 means never.
  void SetLastCheck(double value);
  void SetLastCheckUpdates(double value);
  void SetDeepScan(bool value);
  // Change Heur or DeepScan for this process only, without writing the registry:
  // the command-line tool's per-run options must not alter the user's settings.
  void OverrideHeur(bool value) { heur_ = value; }
  void OverrideDeepScan(bool value) { deep_scan_ = value; }
  void OverrideAnonymStats(bool value) { anonym_stats_ = value; }

  std::string ProxyUserName() const;
  std::string ProxyPassword() const;
  std::string ProxyAddr() const;
  std::string ProxyPort() const;
  int32_t LastScanResult() const { return last_scan_result_; }
  bool MinimizeToTray() const { return minimize_to_tray_; }
  bool ShowScanError() const { return show_scan_error_; }
  bool AutoUpdate() const { return auto_update_; }
  bool Heur() const { return heur_; }
  bool UseSound() const { return use_sound_; }
  bool AnonymStats() const { return anonym_stats_; }
  bool AutorunStartup() const { return autorun_startup_; }
  bool ScanOnStartup() const { return scan_on_startup_; }
  bool UseProxy() const { return use_proxy_; }
  double LastCheck() const;
  double LastCheckUpdates() const;
  bool DeepScan() const { return deep_scan_; }

 private:
  void StoreText(std::string& field, const char* name, const std::string& value);
  void StoreFlag(std::atomic<bool>& field, const char* name, bool value);
  void StoreDateTime(double& field, const char* name, double value);
  std::string Text(const std::string& field) const;
  double DateTime(const double& field) const;
  void LoadValues();

  // Texts and date-times are read under this lock; flags and the number are atomic.
  mutable std::mutex mutex_;
  std::string proxy_user_name_;
  std::string proxy_password_;
  std::string proxy_addr_;
  std::string proxy_port_;
  double last_check_ = 0;
  double last_check_updates_ = 0;
  std::atomic<int32_t> last_scan_result_{0};
  std::atomic<bool> minimize_to_tray_{false};
  std::atomic<bool> show_scan_error_{false};
  std::atomic<bool> auto_update_{false};
  std::atomic<bool> heur_{false};
  std::atomic<bool> use_sound_{false};
  std::atomic<bool> anonym_stats_{false};
  std::atomic<bool> autorun_startup_{false};
  std::atomic<bool> scan_on_startup_{false};
  std::atomic<bool> use_proxy_{false};
  std::atomic<bool> deep_scan_{false};
};

// The program's Settings, created on first call (nothing loaded yet).
Settings& GetSettings();

}  // namespace vermilax
