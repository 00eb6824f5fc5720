#include "engine/md5.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/files.h"

namespace vermilax {
namespace {

inline uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

inline uint32_t LoadLE(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

#define MD5_STEP(f, a, b, c, d, x, t, s) \
  a += f(b, c, d) + (x) + (t);           \
  a = Rotl(a, s) + (b)

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

}  // namespace

MD5Context::MD5Context() : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u} {}

void MD5Context::Transform(const uint8_t* p) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLE(p + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7);
  MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12);
  MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17);
  MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22);
  MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7);
  MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12);
  MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17);
  MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22);
  MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7);
  MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12);
  MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17);
  MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22);
  MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7);
  MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12);
  MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17);
  MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22);

  MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562, 5);
  MD5_STEP(G, d, a, b, c, x[6], 0xc040b340, 9);
  MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51, 14);
  MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
  MD5_STEP(G, a, b, c, d, x[5], 0xd62f105d, 5);
  MD5_STEP(G, d, a, b, c, x[10], 0x02441453, 9);
  MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681, 14);
  MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
  MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6, 5);
  MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6, 9);
  MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87, 14);
  MD5_STEP(G, b, c, d, a, x[8], 0x455a14ed, 20);
  MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905, 5);
  MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8, 9);
  MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9, 14);
  MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

  MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4);
  MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11);
  MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16);
  MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23);
  MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4);
  MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11);
  MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16);
  MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23);
  MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4);
  MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11);
  MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16);
  MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23);
  MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4);
  MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11);
  MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16);
  MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23);

  MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6);
  MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10);
  MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15);
  MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21);
  MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6);
  MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10);
  MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15);
  MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21);
  MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6);
  MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
  MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15);
  MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21);
  MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6);
  MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10);
  MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
  MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21);

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

#undef MD5_STEP

void MD5Context::Update(const void* data, size_t length) {
  auto p = static_cast<const uint8_t*>(data);
  length_ += length;
  if (buffered_ > 0) {
    size_t take = std::min(length, 64 - buffered_);
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    length -= take;
    if (buffered_ < 64) return;
    Transform(buffer_);
    buffered_ = 0;
  }
  for (; length >= 64; p += 64, length -= 64) Transform(p);
  if (length > 0) {
    std::memcpy(buffer_, p, length);
    buffered_ = length;
  }
}

Digest MD5Context::Finish() {
  const uint64_t bits = length_ * 8;
  static const uint8_t kPad[64] = {0x80};
  size_t pad = (buffered_ < 56) ? 56 - buffered_ : 120 - buffered_;
  Update(kPad, pad);
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = uint8_t(bits >> (8 * i));
  Update(tail, 8);
  Digest out;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = uint8_t(state_[i] >> (8 * j));
  return out;
}

Digest MD5OfBuffer(const void* data, size_t length) {
  MD5Context ctx;
  ctx.Update(data, length);
  return ctx.Finish();
}

Digest MD5OfString(std::string_view text) { return MD5OfBuffer(text.data(), text.size()); }

Digest MD5OfFile(const std::string& path) {
  auto opened = platform::OpenFileForRead(path, platform::ShareMode::Exclusive);
  if (!opened.file) throw std::runtime_error("Cannot open file " + path);
  MD5Context ctx;
  uint8_t block[4096];
  for (;;) {
    int64_t n = opened.file->Read(block, sizeof block);
    if (n < 0) throw std::runtime_error("Cannot read file " + path);
    if (n == 0) break;
    ctx.Update(block, size_t(n));
  }
  return ctx.Finish();
}

std::string DigestToHex(const Digest& digest) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out(32, '0');
  for (size_t i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  return out;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

Digest HexToDigest(std::string_view hex) {
  Digest out{};
  for (size_t i = 0; i < 16; ++i) {
    if (2 * i + 1 >= hex.size())
      throw std::invalid_argument("'" + std::string(hex) + "' is not a valid digest");
    int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0)
      throw std::invalid_argument("'" + std::string(hex.substr(2 * i, 2)) + "' is not a valid hexadecimal pair");
    out[i] = uint8_t(hi * 16 + lo);
  }
  return out;
}

bool SameDigest(const Digest& a, const Digest& b) { return a == b; }

std::optional<size_t> FindBytes(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return std::nullopt;
  size_t pos = haystack.find(needle);
  if (pos == std::string_view::npos) return std::nullopt;
  return pos;
}

}  // namespace vermilax
