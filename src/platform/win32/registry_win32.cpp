// The registry through the Win32 ANSI registry API.
#include <windows.h>

#include "platform/registry.h"

namespace vermilax::platform::registry {
namespace {

HKEY RootOf(Hive hive) {
  switch (hive) {
    case Hive::CurrentUser: return HKEY_CURRENT_USER;
    case Hive::LocalMachine: return HKEY_LOCAL_MACHINE;
    case Hive::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_CURRENT_USER;
}

// An open key, closed when it goes out of scope.
class OpenKey {
 public:
  static OpenKey Open(Hive hive, const std::string& path, REGSAM access) {
    OpenKey result;
    if (RegOpenKeyExA(RootOf(hive), path.c_str(), 0, access, &result.key_) != ERROR_SUCCESS) result.key_ = nullptr;
    return result;
  }
  static OpenKey Create(Hive hive, const std::string& path, REGSAM access) {
    OpenKey result;
    DWORD disposition = 0;
    if (RegCreateKeyExA(RootOf(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        &result.key_, &disposition) != ERROR_SUCCESS)
      result.key_ = nullptr;
    return result;
  }
  OpenKey() = default;
  OpenKey(OpenKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  OpenKey& operator=(OpenKey&& other) noexcept {
    if (this != &other) {
      if (key_) RegCloseKey(key_);
      key_ = other.key_;
      other.key_ = nullptr;
    }
    return *this;
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

struct RawValue {
  DWORD type = REG_NONE;
  std::string data;
};

std::optional<RawValue> QueryValue(Hive hive, const std::string& path, const std::string& name) {
  auto key = OpenKey::Open(hive, path, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  // The value may grow between the size query and the read; try again a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    RawValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    value.data.resize(size);
    LONG status = RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(value.data.data()), &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(size);
    return value;
  }
  return std::nullopt;
}

bool SetValue(Hive hive, const std::string& path, const std::string& name, DWORD type, const void* data,
              size_t size) {
  if (size > MAXDWORD) return false;
  auto key = OpenKey::Create(hive, path, KEY_SET_VALUE);
  return key && RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), DWORD(size)) ==
                    ERROR_SUCCESS;
}

// Names listed by an enumeration call of the key, each at most `room` characters.
template <typename Enumerate>
std::vector<std::string> EnumerateNames(HKEY key, DWORD room, Enumerate enumerate) {
  std::vector<std::string> names;
  std::string buffer(size_t(room) + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = room + 1;
    LONG status = enumerate(key, index, buffer.data(), &length);
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

// Removes the key and every key below it; the key itself is reached from `parent`.
bool DeleteTreeBelow(HKEY parent, const std::string& name) {
  {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &key) !=
        ERROR_SUCCESS)
      return false;
    // Collect the names first: deleting while enumerating would shift the indexes.
    std::vector<std::string> children = EnumerateNames(key, 255, [](HKEY k, DWORD i, char* b, DWORD* n) {
      return RegEnumKeyExA(k, i, b, n, nullptr, nullptr, nullptr, nullptr);
    });
    for (const std::string& child : children) DeleteTreeBelow(key, child);
    RegCloseKey(key);
  }
  return RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

bool KeyExists(Hive hive, const std::string& key) { return bool(OpenKey::Open(hive, key, KEY_READ)); }

bool CreateKey(Hive hive, const std::string& key) { return bool(OpenKey::Create(hive, key, KEY_READ)); }

ValueKind KindOf(Hive hive, const std::string& key, const std::string& name) {
  auto k = OpenKey::Open(hive, key, KEY_QUERY_VALUE);
  DWORD type = 0;
  if (!k || RegQueryValueExA(k.get(), name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
    return ValueKind::None;
  switch (type) {
    case REG_SZ: return ValueKind::String;
    case REG_EXPAND_SZ: return ValueKind::ExpandString;
    case REG_DWORD: return ValueKind::Dword;
    case REG_BINARY: return ValueKind::Binary;
    default: return ValueKind::Other;
  }
}

std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name) {
  auto value = QueryValue(hive, key, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  // Stored text need not end in a zero; when it does, the zero is not part of it.
  return value->data.substr(0, value->data.find('\0'));
}

std::optional<uint32_t> ReadDword(Hive hive, const std::string& key, const std::string& name) {
  auto value = QueryValue(hive, key, name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(value->data.data());
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::optional<std::string> ReadBinary(Hive hive, const std::string& key, const std::string& name) {
  auto value = QueryValue(hive, key, name);
  if (!value || value->type != REG_BINARY) return std::nullopt;
  return value->data;
}

bool WriteString(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return SetValue(hive, key, name, REG_SZ, value.c_str(), value.size() + 1);
}

bool WriteExpandString(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return SetValue(hive, key, name, REG_EXPAND_SZ, value.c_str(), value.size() + 1);
}

bool WriteDword(Hive hive, const std::string& key, const std::string& name, uint32_t value) {
  DWORD data = value;
  return SetValue(hive, key, name, REG_DWORD, &data, sizeof data);
}

bool WriteBinary(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return SetValue(hive, key, name, REG_BINARY, value.data(), value.size());
}

std::vector<std::string> SubkeyNames(Hive hive, const std::string& key) {
  auto k = OpenKey::Open(hive, key, KEY_ENUMERATE_SUB_KEYS);
  if (!k) return {};
  return EnumerateNames(k.get(), 255, [](HKEY h, DWORD i, char* b, DWORD* n) {
    return RegEnumKeyExA(h, i, b, n, nullptr, nullptr, nullptr, nullptr);
  });
}

std::vector<std::string> ValueNames(Hive hive, const std::string& key) {
  auto k = OpenKey::Open(hive, key, KEY_QUERY_VALUE);
  if (!k) return {};
  return EnumerateNames(k.get(), 16383, [](HKEY h, DWORD i, char* b, DWORD* n) {
    return RegEnumValueA(h, i, b, n, nullptr, nullptr, nullptr, nullptr);
  });
}

bool DeleteValue(Hive hive, const std::string& key, const std::string& name) {
  auto k = OpenKey::Open(hive, key, KEY_SET_VALUE);
  return k && RegDeleteValueA(k.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteKeyTree(Hive hive, const std::string& key) {
  std::string path = key;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  size_t start = path.find_first_not_of('\\');
  if (start == std::string::npos) return false;  // never a whole hive
  path.erase(0, start);
  size_t cut = path.rfind('\\');
  if (cut == std::string::npos) return DeleteTreeBelow(RootOf(hive), path);
  auto parent = OpenKey::Open(hive, path.substr(0, cut), KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
  return parent && DeleteTreeBelow(parent.get(), path.substr(cut + 1));
}

}  // namespace vermilax::platform::registry
