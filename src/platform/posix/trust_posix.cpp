// There is no platform trust service here (no Authenticode, no security
// catalogs), so no file is ever trusted: callers then treat every module the
// way they treat an unsigned one.
#include "platform/trust.h"

namespace vermilax::platform {

bool IsFileTrusted(const std::string&) { return false; }

bool TrustServiceAvailable() { return false; }

}  // namespace vermilax::platform
