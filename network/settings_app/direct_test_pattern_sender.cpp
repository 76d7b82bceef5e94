#include <atomic>
#include <cstring>
#include <thread>

#include "outgoing_packet.h"
#include "test_pattern_sender.h"
#include "udp_sender.h"
#include "unique_any.h"

// RtlGenRandom, exported by advapi32 under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace selvane::netsettings {
namespace {

// A random (version 4) UUID per test run: a receiver never takes the test for
// a running host's source, whose CID is a name-based version 5 UUID.
net::Cid RandomCid() {
  net::Cid cid{};
  if (!SystemFunction036(cid.bytes, sizeof cid.bytes)) {
    const ULONGLONG now = GetTickCount64() ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 32);
    std::memcpy(cid.bytes, &now, sizeof now);
  }
  cid.bytes[6] = static_cast<uint8_t>((cid.bytes[6] & 0x0f) | 0x40);
  cid.bytes[8] = static_cast<uint8_t>((cid.bytes[8] & 0x3f) | 0x80);
  return cid;
}

class DirectTestPatternSender final : public TestPatternSender {
 public:
  DirectTestPatternSender() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~DirectTestPatternSender() override {
    if (stop_) SetEvent(stop_.get());
    if (worker_.joinable()) worker_.join();
  }

  bool Start(const net::NetworkConfig& config, HWND notify, UINT message) override {
    if (Running() || !stop_) return false;
    if (worker_.joinable()) worker_.join();
    ResetEvent(stop_.get());
    result_ = TestPatternResult{};
    result_.cid = RandomCid();
    running_ = true;
    worker_ = std::thread([this, config, notify, message] {
      Send(config);
      running_ = false;
      PostMessageW(notify, message, 0, 0);
    });
    return true;
  }
  bool Running() const override { return running_; }
  TestPatternResult Result() const override { return result_; }

 private:
  void Send(const net::NetworkConfig& config) {
    uint8_t levels[net::kDmxSlots];
    std::memset(levels, kTestPatternLevel, sizeof levels);
    net::SequenceCounters sequences;
    net::OutgoingPacket packet;
    net::UdpSender socket;
    if (const int error = socket.Open()) {
      ++result_.errors;
      result_.lastError = static_cast<DWORD>(error);
      return;
    }
    const ULONGLONG start = GetTickCount64();
    for (ULONGLONG frame = 0;; ++frame) {
      net::BuildOutgoingPacket(config, result_.cid, sequences, levels, sizeof levels, packet);
      result_.address = packet.address;
      result_.port = packet.port;
      if (const int error = socket.Send(packet)) {
        ++result_.errors;
        result_.lastError = static_cast<DWORD>(error);
      } else {
        ++result_.frames;
      }
      // Each frame on its own beat from the start, so the rate does not drift.
      const ULONGLONG next = start + (frame + 1) * kTestPatternPeriodMs;
      if (next - start >= kTestPatternMs) break;
      const ULONGLONG now = GetTickCount64();
      if (next > now && WaitForSingleObject(stop_.get(), static_cast<DWORD>(next - now)) == WAIT_OBJECT_0) break;
    }
    socket.Close();
  }

  unique_handle stop_;
  std::thread worker_;
  std::atomic<bool> running_{false};
  TestPatternResult result_;  // written by the worker while running_, read after
};

}  // namespace

std::unique_ptr<TestPatternSender> MakeDirectTestPatternSender() {
  return std::make_unique<DirectTestPatternSender>();
}

}  // namespace selvane::netsettings
