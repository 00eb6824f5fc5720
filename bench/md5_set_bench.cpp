// Whole-file signature set of 1,000,000 records: load time from a signature archive,
// and Find per lookup (hits and misses), which must not allocate. The baseline is a
// plain copy of the same lines in memory, so the load figure reads as a ratio too.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "engine/md5.h"
#include "engine/md5_signature.h"
#include "engine/signature_archive.h"
#include "platform/files.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using namespace vermilax;
using namespace vermilax::bench;

int main() {
  const int kRecords = 1000000;
  std::mt19937_64 rng(7);
  struct Key {
    Digest digest;
    int32_t size;
  };
  std::vector<Key> keys(kRecords);
  for (auto& k : keys) {
    for (auto& b : k.digest) b = uint8_t(rng());
    k.size = int32_t(rng() % 10000000);
  }
  // The loader expects descending (digest, size) order.
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return a.digest != b.digest ? a.digest > b.digest : a.size > b.size;
  });
  std::string db;
  db.reserve(size_t(kRecords) * 60);
  for (const Key& k : keys) db += DigestToHex(k.digest) + ":" + std::to_string(k.size) + ":Trojan.Bench\r\n";
  const std::string path = platform::TempFolder() + "vermilax-md5-set-bench.c";
  if (!WriteSignatureArchive(path, db, "bench")) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }

  MD5Signature set;
  double load = BestOf(3, [&] { set.Load(path); });
  Report("load of 1,000,000 records", load * 1000, "ms");
  Verdict("load of 1,000,000 records under 1 s", load < 1.0);

  const int kLookups = 2000000;
  std::vector<Key> probes(kLookups);
  for (int i = 0; i < kLookups; ++i) {
    probes[i] = keys[rng() % kRecords];
    if (i % 2) probes[i].digest[15] ^= 0x5A;  // half of them miss
  }
  size_t found = 0;
  uint64_t allocations = 0;
  double t = BestOf(3, [&] {
    found = 0;
    uint64_t before = g_allocations.load();
    for (const Key& k : probes) found += set.Find(k.size, k.digest) != nullptr;
    allocations = g_allocations.load() - before;
  });
  double per_find_us = t / kLookups * 1e6;
  Report("Find per lookup (1,000,000 records)", per_find_us * 1000, "ns");
  Report("allocations during the lookups", double(allocations), "");
  Report("hits (expected about half)", double(found) / kLookups, "");
  Verdict("Find under a microsecond, allocation-free", per_find_us < 1.0 && allocations == 0);
  platform::RemoveFile(path);
  return 0;
}
