// Packet layouts of both protocols against byte tables written from
// ANSI E1.31-2018 (section 4, table 4-1) and the Art-Net 4 ArtDmx definition.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "artnet_packet.h"
#include "e131_packet.h"
#include "outgoing_packet.h"

namespace selvane::net {
namespace {

constexpr Cid kCid{{0xef, 0x07, 0xc8, 0xdd, 0x00, 0x64, 0x44, 0x01, 0xa3, 0xa2, 0x45, 0x9e, 0xf8, 0xe6, 0x14, 0x3e}};

// Offsets 0..125 of a data packet for universe 1, sequence 0x2a, priority 100,
// source "Selvane": everything before the first slot.
const uint8_t kE131Header[126] = {
    0x00, 0x10, 0x00, 0x00,                                      // preamble, post-amble size
    0x41, 0x53, 0x43, 0x2d, 0x45, 0x31, 0x2e, 0x31, 0x37, 0x00, 0x00, 0x00,  // "ASC-E1.17"
    0x72, 0x6e,                                                  // root flags and length: 638 - 16 = 622
    0x00, 0x00, 0x00, 0x04,                                      // VECTOR_ROOT_E131_DATA
    0xef, 0x07, 0xc8, 0xdd, 0x00, 0x64, 0x44, 0x01, 0xa3, 0xa2, 0x45, 0x9e, 0xf8, 0xe6, 0x14, 0x3e,  // CID
    0x72, 0x58,                                                  // framing flags and length: 600
    0x00, 0x00, 0x00, 0x02,                                      // VECTOR_E131_DATA_PACKET
    'S', 'e', 'l', 'v', 'a', 'n', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0,  // source name, 64 bytes
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    100,                                                         // priority
    0x00, 0x00,                                                  // synchronization address
    0x2a,                                                        // sequence number
    0x00,                                                        // options
    0x00, 0x01,                                                  // universe
    0x72, 0x0b,                                                  // DMP flags and length: 523
    0x02,                                                        // VECTOR_DMP_SET_PROPERTY
    0xa1,                                                        // address type and data type
    0x00, 0x00,                                                  // first property address
    0x00, 0x01,                                                  // address increment
    0x02, 0x01,                                                  // property value count: 513
    0x00,                                                        // DMX start code
};

E131Source Source(const char* name, uint8_t priority) {
  E131Source s{};
  s.cid = kCid;
  std::memcpy(s.name, name, std::strlen(name));  // at most 63 bytes; the rest stays zero
  s.priority = priority;
  return s;
}

TEST(E131Packet, HeaderMatchesTheStandardByteForByte) {
  uint8_t levels[509];
  for (int i = 0; i < 509; ++i) levels[i] = static_cast<uint8_t>(i * 7 + 1);
  uint8_t packet[kE131PacketSize];
  std::memset(packet, 0xcc, sizeof packet);
  BuildE131DataPacket(Source("Selvane", 100), 1, 0x2a, levels, 509, packet);
  EXPECT_EQ(0, std::memcmp(packet, kE131Header, sizeof kE131Header));
  EXPECT_EQ(0, std::memcmp(packet + 126, levels, 509));
  // Slots past what the interface handed over are zero, up to the 512th.
  EXPECT_EQ(0, packet[126 + 509]);
  EXPECT_EQ(0, packet[126 + 510]);
  EXPECT_EQ(0, packet[637]);
}

TEST(E131Packet, UniversePrioritySequenceAndLongNameLandInTheirFields) {
  char name[64];
  std::memset(name, 'x', 63);
  name[63] = 0;
  uint8_t packet[kE131PacketSize];
  BuildE131DataPacket(Source(name, 200), 63999, 0xff, nullptr, 0, packet);
  EXPECT_EQ(0xf9, packet[113]);  // 63999 = 0xf9ff
  EXPECT_EQ(0xff, packet[114]);
  EXPECT_EQ(200, packet[108]);
  EXPECT_EQ(0xff, packet[111]);
  EXPECT_EQ('x', packet[44 + 62]);
  EXPECT_EQ(0, packet[44 + 63]);  // the name stays terminated
  for (size_t i = 126; i < kE131PacketSize; ++i) ASSERT_EQ(0, packet[i]) << i;
}

TEST(E131Packet, UniverseMapsToItsMulticastGroup) {
  EXPECT_EQ(0xefff0001u, E131MulticastGroup(1));      // 239.255.0.1
  EXPECT_EQ(0xefff0100u, E131MulticastGroup(256));    // 239.255.1.0
  EXPECT_EQ(0xefff0203u, E131MulticastGroup(515));    // 239.255.2.3
  EXPECT_EQ(0xeffff9ffu, E131MulticastGroup(63999));  // 239.255.249.255
}

// Offsets 0..17 of an ArtDmx for port-address 0x1234 (Net 0x12, Sub-Net 3, Universe 4), sequence 7.
const uint8_t kArtDmxHeader[18] = {
    'A', 'r', 't', '-', 'N', 'e', 't', 0x00,  // ID
    0x00, 0x50,                                // OpCode OpDmx, low byte first
    0x00, 0x0e,                                // protocol version 14, high byte first
    0x07,                                      // sequence
    0x00,                                      // physical
    0x34,                                      // SubUni
    0x12,                                      // Net
    0x02, 0x00,                                // length 512, high byte first
};

TEST(ArtDmxPacket, HeaderMatchesTheStandardByteForByte) {
  uint8_t levels[120];
  for (int i = 0; i < 120; ++i) levels[i] = static_cast<uint8_t>(255 - i);
  uint8_t packet[kArtDmxPacketSize];
  std::memset(packet, 0xcc, sizeof packet);
  BuildArtDmxPacket(0x1234, 7, levels, 120, packet);
  EXPECT_EQ(0, std::memcmp(packet, kArtDmxHeader, sizeof kArtDmxHeader));
  EXPECT_EQ(0, std::memcmp(packet + 18, levels, 120));
  for (size_t i = 18 + 120; i < kArtDmxPacketSize; ++i) ASSERT_EQ(0, packet[i]) << i;
}

TEST(ArtDmxPacket, PortAddressSplitsIntoNetAndSubUni) {
  struct Case { uint16_t portAddress; uint8_t net, subUni; };
  for (const Case c : {Case{0, 0, 0}, Case{1, 0, 0x01}, Case{0x0010, 0, 0x10}, Case{0x00ff, 0, 0xff},
                       Case{0x0100, 1, 0x00}, Case{32767, 0x7f, 0xff}}) {
    uint8_t packet[kArtDmxPacketSize];
    BuildArtDmxPacket(c.portAddress, 1, nullptr, 0, packet);
    EXPECT_EQ(c.subUni, packet[14]) << c.portAddress;
    EXPECT_EQ(c.net, packet[15]) << c.portAddress;
  }
}

NetworkConfig Config(Protocol protocol, uint16_t universe, uint32_t destination) {
  NetworkConfig c;
  c.protocol = protocol;
  c.universe = universe;
  c.hasDestination = destination != 0;
  c.destination = destination;
  return c;
}

TEST(OutgoingPacket, SacnGoesToTheGroupUnlessADestinationIsGiven) {
  SequenceCounters sequences(250);
  OutgoingPacket p;
  BuildOutgoingPacket(Config(Protocol::Sacn, 7, 0), kCid, sequences, nullptr, 0, p);
  EXPECT_EQ(kE131PacketSize, p.size);
  EXPECT_EQ(0xefff0007u, p.to.address);
  EXPECT_EQ(5568, p.to.port);
  EXPECT_EQ(250, p.bytes[111]);
  EXPECT_EQ(0, std::memcmp(p.bytes + 22, kCid.bytes, 16));
  BuildOutgoingPacket(Config(Protocol::Sacn, 7, 0x7f000001), kCid, sequences, nullptr, 0, p);
  EXPECT_EQ(0x7f000001u, p.to.address);
  EXPECT_EQ(251, p.bytes[111]);
}

// A frame refreshed in place is the frame built whole, byte for byte.
TEST(OutgoingPacket, ARefreshedFrameEqualsTheFrameBuiltWhole) {
  uint8_t first[600], second[600];
  for (int i = 0; i < 600; ++i) first[i] = static_cast<uint8_t>(i * 3 + 1), second[i] = static_cast<uint8_t>(i ^ 0x5a);
  for (const NetworkConfig& config :
       {Config(Protocol::Sacn, 7, 0x7f000001), Config(Protocol::ArtNet, 291, 0x02ffffff), Config(Protocol::UsbPro, 0, 0)}) {
    for (size_t count : {size_t{509}, size_t{64}, size_t{0}, size_t{600}}) {
      SequenceCounters refreshed(9), whole(9);
      OutgoingPacket a, b;
      BuildOutgoingPacket(config, kCid, refreshed, first, 512, a);
      RefreshOutgoingPacket(config, refreshed, second, count, a);
      BuildOutgoingPacket(config, kCid, whole, first, 512, b);
      BuildOutgoingPacket(config, kCid, whole, second, count, b);
      ASSERT_EQ(b.size, a.size);
      EXPECT_EQ(0, std::memcmp(a.bytes, b.bytes, b.size)) << "count " << count;
    }
  }
}

TEST(OutgoingPacket, ArtNetGoesToItsDestinationWithItsOwnSequence) {
  SequenceCounters sequences(250);
  uint8_t levels[64];
  std::memset(levels, 0x80, sizeof levels);
  OutgoingPacket p;
  BuildOutgoingPacket(Config(Protocol::ArtNet, 0x0123, 0x02ffffff), kCid, sequences, levels, 64, p);
  EXPECT_EQ(kArtDmxPacketSize, p.size);
  EXPECT_EQ(0x02ffffffu, p.to.address);
  EXPECT_EQ(6454, p.to.port);
  EXPECT_EQ(1, p.bytes[12]);
  EXPECT_EQ(0x23, p.bytes[14]);
  EXPECT_EQ(0x01, p.bytes[15]);
  EXPECT_EQ(0x80, p.bytes[18 + 63]);
  EXPECT_EQ(0, p.bytes[18 + 64]);
}

}  // namespace
}  // namespace selvane::net
