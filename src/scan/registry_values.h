#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/registry.h"

// Typed values of one registry key, in the formats the settings keep on disk:
// bool and integer as REG_DWORD, text as REG_SZ, date-time as an 8-byte REG_BINARY.
namespace vermilax {

// A date-time as days since 1899-12-30 (fraction = time of day) in 8 bytes,
// the IEEE double in little-endian order.
std::string EncodeDateTime(double days);
// Nullopt unless exactly 8 bytes.
std::optional<double> DecodeDateTime(std::string_view bytes);

// Raised by RegistryValueReader when a value exists but cannot be read as asked.
class RegistryReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads values of one key. Absent values yield the fallback; a value of another
// registry type, or a date-time of another size, raises RegistryReadError.
class RegistryValueReader {
 public:
  RegistryValueReader(platform::Hive hive, std::string key) : hive_(hive), key_(std::move(key)) {}

  bool Exists(const std::string& name) const;
  std::string ReadString(const std::string& name, const std::string& fallback = {}) const;
  int32_t ReadInteger(const std::string& name, int32_t fallback) const;
  // Any value other than 0 is true.
  bool ReadBool(const std::string& name, bool fallback) const;
  double ReadDateTime(const std::string& name, double fallback) const;

 private:
  platform::Hive hive_;
  std::string key_;
};

// Writers of the same formats; false when the registry refuses.
bool WriteBoolValue(platform::Hive hive, const std::string& key, const std::string& name, bool value);
bool WriteIntegerValue(platform::Hive hive, const std::string& key, const std::string& name, int32_t value);
bool WriteDateTimeValue(platform::Hive hive, const std::string& key, const std::string& name, double days);

}  // namespace vermilax
