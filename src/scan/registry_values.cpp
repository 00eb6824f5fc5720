#include "scan/registry_values.h"

#include <cstring>

namespace vermilax {

namespace registry = platform::registry;

std::string EncodeDateTime(double days) {
  uint64_t bits = 0;
  std::memcpy(&bits, &days, sizeof bits);
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return bytes;
}

std::optional<double> DecodeDateTime(std::string_view bytes) {
  if (bytes.size() != 8) return std::nullopt;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
  double days = 0;
  std::memcpy(&days, &bits, sizeof days);
  return days;
}

bool RegistryValueReader::Exists(const std::string& name) const {
  return registry::KindOf(hive_, key_, name) != platform::ValueKind::None;
}

std::string RegistryValueReader::ReadString(const std::string& name, const std::string& fallback) const {
  if (!Exists(name)) return fallback;
  std::optional<std::string> value = registry::ReadString(hive_, key_, name);
  if (!value) throw RegistryReadError("not a string: " + name);
  return *value;
}

int32_t RegistryValueReader::ReadInteger(const std::string& name, int32_t fallback) const {
  if (!Exists(name)) return fallback;
  std::optional<uint32_t> value = registry::ReadDword(hive_, key_, name);
  if (!value) throw RegistryReadError("not a number: " + name);
  return static_cast<int32_t>(*value);
}

bool RegistryValueReader::ReadBool(const std::string& name, bool fallback) const {
  return ReadInteger(name, fallback ? 1 : 0) != 0;
}

double RegistryValueReader::ReadDateTime(const std::string& name, double fallback) const {
  if (!Exists(name)) return fallback;
  std::optional<std::string> bytes = registry::ReadBinary(hive_, key_, name);
  std::optional<double> days = bytes ? DecodeDateTime(*bytes) : std::nullopt;
  if (!days) throw RegistryReadError("not a date-time: " + name);
  return *days;
}

bool WriteBoolValue(platform::Hive hive, const std::string& key, const std::string& name, bool value) {
  return registry::WriteDword(hive, key, name, value ? 1 : 0);
}

bool WriteIntegerValue(platform::Hive hive, const std::string& key, const std::string& name, int32_t value) {
  return registry::WriteDword(hive, key, name, static_cast<uint32_t>(value));
}

bool WriteDateTimeValue(platform::Hive hive, const std::string& key, const std::string& name, double days) {
  return registry::WriteBinary(hive, key, name, EncodeDateTime(days));
}

}  // namespace vermilax
