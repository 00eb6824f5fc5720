#pragma once
#include <cstdint>
#include <string>

namespace vermilax::platform {

// Error codes are the Windows ones on every build; the POSIX build maps errno onto them.
enum ErrorCode : uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorSharingViolation = 32,
  kErrorHandleEof = 38,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorNoMoreFiles = 18,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,  // a path longer than the system takes
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
};

// The system's message text for an error code, without a trailing line end.
std::string SystemErrorMessage(uint32_t code);

}  // namespace vermilax::platform
