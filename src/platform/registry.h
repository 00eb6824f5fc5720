#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vermilax::platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

enum class ValueKind { None, String, ExpandString, Dword, Binary, Other };

// The registry of this build: the real one on Windows, an in-memory store natively
// (tests fill it through the same calls). Key paths use backslashes and ignore
// letter case, as do value names; the empty value name is the key's default value.
//
// Readers answer nullopt when the key or value is missing or the value has another
// kind, so a caller can tell "absent" (KindOf == None) from "wrong type".
namespace registry {
bool KeyExists(Hive hive, const std::string& key);
bool CreateKey(Hive hive, const std::string& key);
ValueKind KindOf(Hive hive, const std::string& key, const std::string& name);
// String and ExpandString values (not expanded), up to the first zero character.
std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name);
std::optional<uint32_t> ReadDword(Hive hive, const std::string& key, const std::string& name);
std::optional<std::string> ReadBinary(Hive hive, const std::string& key, const std::string& name);
// Writers create the key when it is missing.
bool WriteString(Hive hive, const std::string& key, const std::string& name, const std::string& value);
bool WriteExpandString(Hive hive, const std::string& key, const std::string& name, const std::string& value);
bool WriteDword(Hive hive, const std::string& key, const std::string& name, uint32_t value);
bool WriteBinary(Hive hive, const std::string& key, const std::string& name, const std::string& value);
// Names of the direct subkeys and of the values of a key; empty when it is missing.
// Values come in the order the registry lists them.
std::vector<std::string> SubkeyNames(Hive hive, const std::string& key);
std::vector<std::string> ValueNames(Hive hive, const std::string& key);
bool DeleteValue(Hive hive, const std::string& key, const std::string& name);
// Deletes the key with everything below it. A hive's root (empty key path) is
// never deleted: the call fails.
bool DeleteKeyTree(Hive hive, const std::string& key);
}  // namespace registry

}  // namespace vermilax::platform
