// Raw-data resources of the running program.
#include <windows.h>

#include "platform/resources.h"

namespace vermilax::platform {

std::optional<std::string> ReadProgramResource(const std::string& name) {
  HMODULE program = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(program, name.c_str(), RT_RCDATA);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(program, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(program, found);
  if (!bytes) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), size);
}

}  // namespace vermilax::platform
