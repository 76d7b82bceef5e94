#pragma once
// Name-based UUIDs (RFC 4122 version 5, SHA-1): the same name always gives the
// same UUID. The sACN source CID is made this way from who and where we run.
#include <cstddef>
#include <cstdint>

namespace selvane::net {

struct Sha1Digest {
  uint8_t bytes[20];
};

Sha1Digest Sha1(const uint8_t* data, size_t size);

// Version 5 UUID of `name` in the namespace `space`, in network byte order.
void NameBasedUuid(const uint8_t (&space)[16], const uint8_t* name, size_t size, uint8_t (&uuid)[16]);

// Selvane's own namespace for source CIDs.
inline constexpr uint8_t kSelvaneCidNamespace[16] = {0x5e, 0x1a, 0x7a, 0x4e, 0x0c, 0x1d, 0x4b, 0x8e,
                                                     0x9a, 0x31, 0xe1, 0x31, 0x5a, 0xc7, 0x00, 0x01};

}  // namespace selvane::net
