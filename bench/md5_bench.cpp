// MD5 throughput of MD5OfBuffer on 256 MiB against the system's openssl (or md5sum)
// hashing the same bytes from a warm file cache in the same run.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "bench_util.h"
#include "engine/md5.h"
#include "platform/files.h"

using namespace vermilax;
using namespace vermilax::bench;

int main() {
  const size_t kSize = size_t(256) << 20;
  std::string data(kSize, '\0');
  std::mt19937_64 rng(42);
  for (size_t i = 0; i + 8 <= kSize; i += 8) {
    uint64_t v = rng();
    std::memcpy(&data[i], &v, 8);
  }
  const std::string path = platform::TempFolder() + "vermilax-md5-bench.bin";
  platform::WriteWholeFile(path, data);

  Digest digest{};
  double ours = BestOf(3, [&] { digest = MD5OfBuffer(data.data(), data.size()); });
  double ours_mbs = kSize / ours / 1e6;
  Report("MD5OfBuffer 256 MiB", ours_mbs, "MB/s");

  std::string tool = "openssl md5 " + path;
  double ref = BestOf(3, [&] { TimeCommand(tool); });
  if (TimeCommand(tool) < 0) {
    tool = "md5sum " + path;
    ref = BestOf(3, [&] { TimeCommand(tool); });
  }
  double ref_mbs = kSize / ref / 1e6;
  Report(("reference: " + tool.substr(0, tool.find(' '))).c_str(), ref_mbs, "MB/s");
  Report("ratio (ours / reference)", ours_mbs / ref_mbs, "");
  Verdict("MD5 at 90% or more of the reference", ours_mbs >= 0.9 * ref_mbs);
  platform::RemoveFile(path);
  std::printf("digest %s\n", DigestToHex(digest).c_str());
  return 0;
}
