#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vermilax::platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

enum class ValueKind { None, String, ExpandString, Dword, Binary, Other };

// The registry of this build: the real one on Windows, an in-memory store natively
// (tests fill it through the same calls). Key paths use backslashes and ignore case.
namespace registry {
bool KeyExists(Hive hive, const std::string& key);
bool CreateKey(Hive hive, const std::string& key);
ValueKind KindOf(Hive hive, const std::string& key, const std::string& name);
std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name);
std::optional<uint32_t> ReadDword(Hive hive, const std::string& key, const std::string& name);
std::optional<std::string> ReadBinary(Hive hive, const std::string& key, const std::string& name);
// Writers create the key when it is missing.
bool WriteString(Hive hive, const std::string& key, const std::string& name, const std::string& value);
bool WriteDword(Hive hive, const std::string& key, const std::string& name, uint32_t value);
bool WriteBinary(Hive hive, const std::string& key, const std::string& name, const std::string& value);
std::vector<std::string> SubkeyNames(Hive hive, const std::string& key);
std::vector<std::string> ValueNames(Hive hive, const std::string& key);
bool DeleteValue(Hive hive, const std::string& key, const std::string& name);
// Deletes the key with everything below it.
bool DeleteKeyTree(Hive hive, const std::string& key);
}  // namespace registry

}  // namespace vermilax::platform
