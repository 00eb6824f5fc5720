#pragma once

// Native builds only: the in-memory registry behind platform/registry.h.
namespace vermilax::platform::registry {

// Empties every hive, so each test starts from a registry without keys.
void ResetForTests();

}  // namespace vermilax::platform::registry
