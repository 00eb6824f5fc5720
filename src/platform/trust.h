#pragma once
#include <string>

namespace vermilax::platform {

// True when the platform's trust service verifies the file's signature, embedded
// or through a security catalog that lists the file's hash (trusted roots, no
// revocation checks, no user interface). False in every other case: a missing
// file, any failing step, or no trust service (builds other than Windows have
// none and always answer false). Never raises.
bool IsFileTrusted(const std::string& path);

// True when the trust service and all the functions the check needs were found.
bool TrustServiceAvailable();

}  // namespace vermilax::platform
