#include "name_based_uuid.h"

#include <cstring>

namespace selvane::net {
namespace {

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

struct Sha1State {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  uint8_t block[64] = {};
  size_t used = 0;
  uint64_t total = 0;

  void Compress() {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
      w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) | (uint32_t{block[4 * i + 2]} << 8) |
             block[4 * i + 3];
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f, k;
      if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
      else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
      else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      else f = b ^ c ^ d, k = 0xCA62C1D6;
      const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d, d = c, c = Rotl(b, 30), b = a, a = t;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    used = 0;
  }

  void Add(const uint8_t* data, size_t size) {
    total += size;
    for (size_t i = 0; i < size; ++i) {
      block[used++] = data[i];
      if (used == 64) Compress();
    }
  }

  Sha1Digest Finish() {
    const uint64_t bits = total * 8;
    const uint8_t one = 0x80, zero = 0;
    Add(&one, 1);
    while (used != 56) Add(&zero, 1);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Add(length, 8);
    Sha1Digest digest;
    for (int i = 0; i < 20; ++i) digest.bytes[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
  }
};

}  // namespace

Sha1Digest Sha1(const uint8_t* data, size_t size) {
  Sha1State s;
  s.Add(data, size);
  return s.Finish();
}

void NameBasedUuid(const uint8_t (&space)[16], const uint8_t* name, size_t size, uint8_t (&uuid)[16]) {
  Sha1State s;
  s.Add(space, 16);
  s.Add(name, size);
  const Sha1Digest digest = s.Finish();
  std::memcpy(uuid, digest.bytes, 16);
  uuid[6] = static_cast<uint8_t>((uuid[6] & 0x0f) | 0x50);  // version 5
  uuid[8] = static_cast<uint8_t>((uuid[8] & 0x3f) | 0x80);  // RFC 4122 variant
}

}  // namespace selvane::net
