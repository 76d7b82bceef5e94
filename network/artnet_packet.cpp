#include "artnet_packet.h"

#include <cstring>

namespace selvane::net {
namespace {

using namespace artdmx;

constexpr char kIdBytes[] = "Art-Net";  // with its terminating zero
static_assert(sizeof kIdBytes == kSizes[kId]);
constexpr uint16_t kOpDmx = 0x5000;
constexpr uint16_t kVersion = 14;

}  // namespace

void BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t* levels, size_t count,
                       uint8_t (&packet)[kArtDmxPacketSize]) {
  // Zero: physical input port 0.
  std::memset(packet, 0, sizeof packet);
  std::memcpy(packet + kLayout[kId].offset, kIdBytes, kSizes[kId]);
  packet[kLayout[kOpCode].offset] = static_cast<uint8_t>(kOpDmx & 0xff);  // the only field low byte first
  packet[kLayout[kOpCode].offset + 1] = static_cast<uint8_t>(kOpDmx >> 8);
  PutBigEndian16(packet, kLayout[kProtocolVersion], kVersion);
  packet[kLayout[kSequence].offset] = sequence;
  packet[kLayout[kSubUni].offset] = static_cast<uint8_t>(portAddress & 0xff);
  packet[kLayout[kNet].offset] = static_cast<uint8_t>((portAddress >> 8) & 0x7f);
  PutBigEndian16(packet, kLayout[kLength], static_cast<uint16_t>(kSizes[kData]));
  if (levels && count > 0)
    std::memcpy(packet + kLayout[kData].offset, levels, count < kSizes[kData] ? count : kSizes[kData]);
}

}  // namespace selvane::net
