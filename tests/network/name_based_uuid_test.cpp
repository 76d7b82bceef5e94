// The CID's derivation: SHA-1 and version 5 UUIDs against published values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "name_based_uuid.h"

namespace selvane::net {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string s;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    s += two;
  }
  return s;
}

Sha1Digest Sha1Of(const std::string& s) { return Sha1(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

TEST(Sha1, KnownDigests) {
  EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Hex(Sha1Of("").bytes, 20));
  EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Hex(Sha1Of("abc").bytes, 20));
  // 56 bytes: the length no longer fits in the first block.
  EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
            Hex(Sha1Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq").bytes, 20));
  EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", Hex(Sha1Of(std::string(1000000, 'a')).bytes, 20));
}

TEST(NameBasedUuid, Version5OfTheDnsNamespace) {
  const uint8_t dns[16] = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1, 0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
  const std::string name = "python.org";
  uint8_t uuid[16];
  NameBasedUuid(dns, reinterpret_cast<const uint8_t*>(name.data()), name.size(), uuid);
  EXPECT_EQ("886313e13b8a53729b900c9aee199e5d", Hex(uuid, 16));
}

TEST(NameBasedUuid, SameNameSameCidOtherNameOtherCid) {
  const std::string a = "machine-1|S-1-5-21-1", b = "machine-1|S-1-5-21-2";
  uint8_t ua[16], ua2[16], ub[16];
  NameBasedUuid(kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(a.data()), a.size(), ua);
  NameBasedUuid(kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(a.data()), a.size(), ua2);
  NameBasedUuid(kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(b.data()), b.size(), ub);
  EXPECT_EQ(0, std::memcmp(ua, ua2, 16));
  EXPECT_NE(0, std::memcmp(ua, ub, 16));
  EXPECT_EQ(0x50, ua[6] & 0xf0);
  EXPECT_EQ(0x80, ua[8] & 0xc0);
}

}  // namespace
}  // namespace selvane::net
