// "Testen" under Wine, through the libraries' output engine, with a receiver
// socket in the test: every slot at 50 % for five seconds, at the priority on
// screen, under a CID of its own.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "source_cid.h"
#include "test_pattern_sender.h"

namespace {

using namespace selvane::netsettings;
namespace net = selvane::net;

constexpr char kReceiverAddress[] = "127.0.0.78";

class Receiver {
 public:
  explicit Receiver(uint16_t port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int big = 4 << 20;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&big), sizeof big);
    DWORD timeoutMs = 100;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = inet_addr(kReceiverAddress);
    bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~Receiver() { closesocket(socket_); }
  bool Bound() const { return bound_; }
  // Every datagram that is waiting.
  void Drain(std::vector<std::vector<uint8_t>>& packets) {
    for (;;) {
      std::vector<uint8_t> d(2048);
      const int n = recv(socket_, reinterpret_cast<char*>(d.data()), static_cast<int>(d.size()), 0);
      if (n <= 0) return;
      d.resize(static_cast<size_t>(n));
      packets.push_back(std::move(d));
    }
  }

 private:
  SOCKET socket_;
  bool bound_ = false;
};

// Runs one test to its end, pumping the messages of this thread meanwhile.
TestPatternResult RunTest(const std::string& config, Receiver& receiver,
                          std::vector<std::vector<uint8_t>>& packets, bool sendsForSeconds = true) {
  constexpr UINT kDone = WM_APP + 7;
  HWND notify = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  auto sender = MakeEngineTestPatternSender();
  EXPECT_TRUE(sender->Start(config, notify, kDone));
  if (sendsForSeconds) {
    EXPECT_FALSE(sender->Start(config, notify, kDone)) << "one test at a time";
  }
  bool done = false;
  const ULONGLONG start = GetTickCount64();
  while (!done && GetTickCount64() - start < 60000) {
    receiver.Drain(packets);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) done = done || msg.message == kDone;
  }
  receiver.Drain(packets);
  EXPECT_TRUE(done) << "no word that the test ended";
  EXPECT_FALSE(sender->Running());
  DestroyWindow(notify);
  return sender->Result();
}

constexpr unsigned kFrames = (kTestPatternMs + kTestPatternPeriodMs - 1) / kTestPatternPeriodMs;

TEST(TestPatternSender, SacnEverySlotAtHalfAtTheGivenPriorityUnderACidOfItsOwn) {
  Receiver receiver(net::kE131Port);
  ASSERT_TRUE(receiver.Bound());
  const std::string config = std::string("[Output]\r\nProtocol = sACN\r\nDestination = ") + kReceiverAddress +
                             "\r\nUniverse = 7\r\nPriority = 77\r\n";
  std::vector<std::vector<uint8_t>> packets;
  const TestPatternResult result = RunTest(config, receiver, packets);

  EXPECT_EQ(kFrames, result.frames);
  EXPECT_EQ(0u, result.errors);
  EXPECT_EQ(ntohl(inet_addr(kReceiverAddress)), result.address);
  EXPECT_EQ(net::kE131Port, result.port);
  ASSERT_EQ(result.frames, packets.size());
  const net::Cid host = net::SourceCid();
  for (size_t i = 0; i < packets.size(); ++i) {
    const std::vector<uint8_t>& p = packets[i];
    ASSERT_EQ(net::kE131PacketSize, p.size());
    EXPECT_EQ(0, std::memcmp(p.data() + 22, result.cid.bytes, 16)) << "the CID the result names";
    EXPECT_NE(0, std::memcmp(p.data() + 22, host.bytes, 16)) << "never the host's CID";
    EXPECT_EQ(0x40, p[22 + 6] & 0xf0) << "a random (version 4) UUID";
    EXPECT_EQ(77, p[108]);
    EXPECT_EQ(static_cast<uint8_t>(i), p[111]) << "the sequence counts";
    EXPECT_EQ(7, p[113] << 8 | p[114]);
    EXPECT_EQ(0, p[125]) << "start code";
    for (size_t slot = 0; slot < net::kDmxSlots; ++slot) ASSERT_EQ(kTestPatternLevel, p[126 + slot]) << slot;
  }
  // Each run its own source.
  std::vector<std::vector<uint8_t>> again;
  EXPECT_NE(0, std::memcmp(RunTest(config, receiver, again).cid.bytes, result.cid.bytes, 16));
}

TEST(TestPatternSender, SettingsTheEngineRefusesSendNothingAndSayWhy) {
  Receiver receiver(net::kArtNetPort);
  std::vector<std::vector<uint8_t>> packets;
  const TestPatternResult result = RunTest("[Output]\r\nProtocol = Art-Net\r\n", receiver, packets, false);
  EXPECT_EQ(0u, result.frames);
  EXPECT_TRUE(packets.empty());
  EXPECT_NE(std::string::npos, result.problem.find("Art-Net braucht ein Ziel")) << result.problem;
}

TEST(TestPatternSender, ArtNetEverySlotAtHalfToTheNode) {
  Receiver receiver(net::kArtNetPort);
  ASSERT_TRUE(receiver.Bound());
  const std::string config =
      std::string("[Output]\r\nProtocol = Art-Net\r\nDestination = ") + kReceiverAddress + "\r\nUniverse = 291\r\n";
  std::vector<std::vector<uint8_t>> packets;
  const TestPatternResult result = RunTest(config, receiver, packets);
  EXPECT_EQ(kFrames, result.frames);
  EXPECT_EQ(net::kArtNetPort, result.port);
  ASSERT_EQ(result.frames, packets.size());
  for (const std::vector<uint8_t>& p : packets) {
    ASSERT_EQ(net::kArtDmxPacketSize, p.size());
    EXPECT_EQ(291, p[14] | p[15] << 8);
    for (size_t slot = 0; slot < net::kDmxSlots; ++slot) ASSERT_EQ(kTestPatternLevel, p[18 + slot]) << slot;
  }
}

}  // namespace
