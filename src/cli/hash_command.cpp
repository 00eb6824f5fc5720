// The hash command: signature lines for files, in the whole-file MD5 database format.
#include <cstdint>
#include <limits>

#include "cli/commands.h"
#include "engine/md5.h"
#include "env/text_utils.h"
#include "platform/files.h"

namespace vermilax::cli {
namespace {

// The bare file name as a database line records it.
std::string BareName(const std::string& path) {
  if (platform::PathSeparator() == '\\') return ExtractNameFromPath(path);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Digest and size in one pass, so both describe the same bytes.
bool HashFile(const std::string& path, Digest& digest, uint64_t& size) {
  platform::OpenResult opened = platform::OpenFileForRead(path, platform::ShareMode::ReadWrite);
  if (!opened.file) return false;
  MD5Context md5;
  size = 0;
  char buffer[64 * 1024];
  for (;;) {
    int64_t n = opened.file->Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) break;
    md5.Update(buffer, size_t(n));
    size += uint64_t(n);
  }
  digest = md5.Finish();
  return true;
}

}  // namespace

int RunHash(const Args& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "usage: vermilax-cli hash FILE...\n";
    return 2;
  }
  int code = 0;
  for (const std::string& path : args) {
    Digest digest;
    uint64_t size = 0;
    if (!HashFile(path, digest, size)) {
      err << "vermilax-cli: cannot read '" << path << "'\n";
      code = 2;
      continue;
    }
    // Database sizes are signed 32-bit; a larger file would give a line no loader accepts.
    if (size > uint64_t(std::numeric_limits<int32_t>::max())) {
      err << "vermilax-cli: '" << path << "' is too large for a signature (2 GiB or more)\n";
      code = 2;
      continue;
    }
    out << DigestToHex(digest) << ':' << size << ':' << BareName(path) << '\n';
  }
  return code;
}

}  // namespace vermilax::cli
