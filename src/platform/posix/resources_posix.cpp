// Raw-data resources natively: a table filled through RegisterProgramResource.
#include <map>
#include <mutex>

#include "platform/posix/program_resources.h"
#include "platform/resources.h"

namespace vermilax::platform {
namespace {

std::string Folded(std::string name) {
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return name;
}

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

// Reached through a function: registrations may run from other static initializers.
std::map<std::string, std::string>& Table() {
  static std::map<std::string, std::string> table;
  return table;
}

}  // namespace

void RegisterProgramResource(const std::string& name, const std::string& bytes) {
  std::lock_guard lock(TableMutex());
  Table()[Folded(name)] = bytes;
}

std::optional<std::string> ReadProgramResource(const std::string& name) {
  std::lock_guard lock(TableMutex());
  auto it = Table().find(Folded(name));
  if (it == Table().end()) return std::nullopt;
  return it->second;
}

}  // namespace vermilax::platform
