#include "random_pe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/pe_writer.h"

namespace vermilax::bench {
namespace {

struct SectionKind {
  const char* name;
  uint32_t characteristics;
  int zeroPercent;  // share of the bytes left zero, as padded data sections are
};

constexpr SectionKind kKinds[] = {
    {".text", 0x60000020, 0},   {".rdata", 0x40000040, 10}, {".data", 0xC0000040, 40},
    {".rsrc", 0x40000040, 5},   {".reloc", 0x42000040, 20},
};

constexpr size_t kHeaderBytes = 0x400;      // headers rounded up to the file alignment
constexpr size_t kSmallestSection = 0x100;

std::string RandomBytes(std::mt19937_64& random, size_t size, int zeroPercent) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i += 8) {
    const uint64_t word = random();
    std::memcpy(&bytes[i], &word, std::min<size_t>(8, size - i));
  }
  if (zeroPercent > 0) {
    // One zero run at a random place, like the padding of initialised data.
    const size_t run = size * size_t(zeroPercent) / 100;
    const size_t at = size > run ? random() % (size - run) : 0;
    std::memset(&bytes[at], 0, run);
  }
  return bytes;
}

}  // namespace

size_t LogUniformSize(std::mt19937_64& random, size_t low, size_t high) {
  std::uniform_real_distribution<double> exponent(std::log(double(low)), std::log(double(high)));
  return size_t(std::exp(exponent(random)));
}

std::string RandomPeFile(std::mt19937_64& random, size_t targetBytes, bool dll) {
  const size_t sectionCount = 2 + random() % 4;
  const size_t body = std::max(targetBytes, kHeaderBytes + sectionCount * kSmallestSection) - kHeaderBytes;

  // Random weights split the body between the sections.
  std::vector<double> weights(sectionCount);
  double total = 0;
  for (double& weight : weights) total += weight = 1.0 + double(random() % 1000);

  test::PeBuilder builder;
  builder.sections.clear();
  if (dll) builder.characteristics |= 0x2000;  // IMAGE_FILE_DLL
  for (size_t i = 0; i < sectionCount; ++i) {
    const SectionKind& kind = kKinds[i];
    const size_t size = std::max(kSmallestSection, size_t(double(body) * weights[i] / total));
    test::PeSection section = test::Section(kind.name, RandomBytes(random, size, kind.zeroPercent));
    section.characteristics = kind.characteristics;
    builder.sections.push_back(std::move(section));
  }
  return builder.Build();
}

}  // namespace vermilax::bench
