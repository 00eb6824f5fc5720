// The registry natively: an in-memory tree per hive that keeps value kinds, so code
// that depends on a value's type behaves as it does against the real registry.
#include <map>
#include <memory>
#include <mutex>

#include "platform/posix/registry_store.h"
#include "platform/registry.h"

namespace vermilax::platform::registry {
namespace {

std::string Folded(const std::string& text) {
  std::string result = text;
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return result;
}

struct Value {
  std::string name;  // as first written
  ValueKind kind = ValueKind::None;
  std::string data;
};

struct Key {
  std::string name;  // as first created
  std::map<std::string, std::unique_ptr<Key>> children;  // by folded name: sorted as the system lists them
  std::vector<Value> values;                             // in the order of creation

  Value* FindValue(const std::string& value_name) {
    std::string folded = Folded(value_name);
    for (Value& v : values)
      if (Folded(v.name) == folded) return &v;
    return nullptr;
  }
};

std::mutex store_mutex;
std::map<Hive, Key> store;

// Components of a key path; empty components (doubled or outer backslashes) are dropped.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

Key* FindKey(Hive hive, const std::string& path) {
  Key* key = &store[hive];
  for (const std::string& part : SplitPath(path)) {
    auto it = key->children.find(Folded(part));
    if (it == key->children.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

Key* FindOrCreateKey(Hive hive, const std::string& path) {
  Key* key = &store[hive];
  for (const std::string& part : SplitPath(path)) {
    auto& slot = key->children[Folded(part)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = part;
    }
    key = slot.get();
  }
  return key;
}

bool Write(Hive hive, const std::string& path, const std::string& name, ValueKind kind, const std::string& data) {
  std::lock_guard lock(store_mutex);
  Key* key = FindOrCreateKey(hive, path);
  Value* value = key->FindValue(name);
  if (!value) {
    key->values.push_back(Value{name, kind, data});
    return true;
  }
  value->kind = kind;
  value->data = data;
  return true;
}

// The stored value when it exists and has one of the accepted kinds.
std::optional<Value> Read(Hive hive, const std::string& path, const std::string& name,
                          std::initializer_list<ValueKind> accepted) {
  std::lock_guard lock(store_mutex);
  Key* key = FindKey(hive, path);
  Value* value = key ? key->FindValue(name) : nullptr;
  if (!value) return std::nullopt;
  for (ValueKind kind : accepted)
    if (value->kind == kind) return *value;
  return std::nullopt;
}

}  // namespace

void ResetForTests() {
  std::lock_guard lock(store_mutex);
  store.clear();
}

bool KeyExists(Hive hive, const std::string& key) {
  std::lock_guard lock(store_mutex);
  return FindKey(hive, key) != nullptr;
}

bool CreateKey(Hive hive, const std::string& key) {
  std::lock_guard lock(store_mutex);
  return FindOrCreateKey(hive, key) != nullptr;
}

ValueKind KindOf(Hive hive, const std::string& key, const std::string& name) {
  std::lock_guard lock(store_mutex);
  Key* k = FindKey(hive, key);
  Value* value = k ? k->FindValue(name) : nullptr;
  return value ? value->kind : ValueKind::None;
}

std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name) {
  auto value = Read(hive, key, name, {ValueKind::String, ValueKind::ExpandString});
  if (!value) return std::nullopt;
  // The system hands back text up to its terminating zero.
  return value->data.substr(0, value->data.find('\0'));
}

std::optional<uint32_t> ReadDword(Hive hive, const std::string& key, const std::string& name) {
  auto value = Read(hive, key, name, {ValueKind::Dword});
  if (!value || value->data.size() != 4) return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(value->data.data());
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::optional<std::string> ReadBinary(Hive hive, const std::string& key, const std::string& name) {
  auto value = Read(hive, key, name, {ValueKind::Binary});
  if (!value) return std::nullopt;
  return value->data;
}

bool WriteString(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return Write(hive, key, name, ValueKind::String, value);
}

bool WriteExpandString(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return Write(hive, key, name, ValueKind::ExpandString, value);
}

bool WriteDword(Hive hive, const std::string& key, const std::string& name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[size_t(i)] = char((value >> (8 * i)) & 0xFF);
  return Write(hive, key, name, ValueKind::Dword, data);
}

bool WriteBinary(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
  return Write(hive, key, name, ValueKind::Binary, value);
}

std::vector<std::string> SubkeyNames(Hive hive, const std::string& key) {
  std::lock_guard lock(store_mutex);
  std::vector<std::string> names;
  if (Key* k = FindKey(hive, key))
    for (const auto& [folded, child] : k->children) names.push_back(child->name);
  return names;
}

std::vector<std::string> ValueNames(Hive hive, const std::string& key) {
  std::lock_guard lock(store_mutex);
  std::vector<std::string> names;
  if (Key* k = FindKey(hive, key))
    for (const Value& v : k->values) names.push_back(v.name);
  return names;
}

bool DeleteValue(Hive hive, const std::string& key, const std::string& name) {
  std::lock_guard lock(store_mutex);
  Key* k = FindKey(hive, key);
  if (!k) return false;
  std::string folded = Folded(name);
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (Folded(it->name) == folded) {
      k->values.erase(it);
      return true;
    }
  }
  return false;
}

bool DeleteKeyTree(Hive hive, const std::string& key) {
  std::vector<std::string> parts = SplitPath(key);
  if (parts.empty()) return false;
  std::lock_guard lock(store_mutex);
  Key* parent = &store[hive];
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto it = parent->children.find(Folded(parts[i]));
    if (it == parent->children.end()) return false;
    parent = it->second.get();
  }
  return parent->children.erase(Folded(parts.back())) == 1;
}

}  // namespace vermilax::platform::registry
