#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "output_engine.h"
#include "serial_transport.h"
#include "test_pattern_sender.h"
#include "udp_transport.h"
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

// The libraries' output engine on this program's terms: the settings are the
// values on screen, composed into the file's text; the source is the test's own.
class TestPlatform final : public net::EnginePlatform, public net::SettingsFile {
 public:
  TestPlatform(const std::string& settings, const net::Cid& cid) : settings_(settings), cid_(cid) {}

  void Start(net::Cid& cid, uint8_t& sequenceStart) override {
    cid = cid_;
    sequenceStart = 0;
  }
  net::SettingsFile& Settings() override { return *this; }
  const char* SettingsPath() override { return "(die Werte im Fenster)"; }
  net::Transport& TransportFor(net::Protocol protocol) override {
    return protocol == net::Protocol::UsbPro ? static_cast<net::Transport&>(serial_) : udp_;
  }
  void Report(const char* line) override { lastReport_ = line; }
  void Log(const char*) override {}  // the window logs the test's outcome as one line

  // Written long ago and never again: used at once.
  bool Stamp(net::SettingsStamp& stamp) override {
    stamp.size = settings_.size();
    stamp.ageMs = ~uint64_t{0} / 2;
    return true;
  }
  net::ReadOutcome Read(char* text, size_t capacity, size_t& size, bool) override {
    size = settings_.size() < capacity ? settings_.size() : capacity;
    std::memcpy(text, settings_.data(), size);
    return net::ReadOutcome::Read;
  }

  void Close() {
    udp_.Close();
    serial_.Close();
  }
  const std::string& LastReport() const { return lastReport_; }

 private:
  std::string settings_;
  net::Cid cid_;
  net::UdpTransport udp_;
  net::SerialTransport serial_;
  std::string lastReport_;
};

class EngineTestPatternSender final : public TestPatternSender {
 public:
  EngineTestPatternSender() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~EngineTestPatternSender() override {
    if (stop_) SetEvent(stop_.get());
    if (worker_.joinable()) worker_.join();
  }

  bool Start(const std::string& settings, HWND notify, UINT message) override {
    if (Running() || !stop_) return false;
    if (worker_.joinable()) worker_.join();
    ResetEvent(stop_.get());
    result_ = TestPatternResult{};
    result_.cid = RandomCid();
    running_ = true;
    worker_ = std::thread([this, settings, notify, message] {
      Send(settings);
      running_ = false;
      PostMessageW(notify, message, 0, 0);
    });
    return true;
  }
  bool Running() const override { return running_; }
  TestPatternResult Result() const override { return result_; }

 private:
  void Send(const std::string& settings) {
    TestPlatform platform(settings, result_.cid);
    // Every slot of the universe, through SetLevel as the DMX-510USB's library takes it.
    net::OutputEngine engine(vendor::kVendorLibraries[2], platform);
    uint8_t levels[net::kDmxSlots];
    std::memset(levels, kTestPatternLevel, sizeof levels);
    const ULONGLONG start = GetTickCount64();
    for (ULONGLONG frame = 0;; ++frame) {
      if (!engine.SetLevel(levels, static_cast<int32_t>(sizeof levels), GetTickCount64())) break;
      // Each frame on its own beat from the start, so the rate does not drift.
      const ULONGLONG next = start + (frame + 1) * kTestPatternPeriodMs;
      if (next - start >= kTestPatternMs) break;
      const ULONGLONG now = GetTickCount64();
      if (next > now && WaitForSingleObject(stop_.get(), static_cast<DWORD>(next - now)) == WAIT_OBJECT_0) break;
    }
    net::EngineStatus status;
    engine.Status(status);
    result_.frames = status.framesSent;
    result_.errors = status.sendErrors;
    result_.lastError = static_cast<DWORD>(status.lastSendError);
    const net::Destination to = net::DestinationOf(status.config);
    result_.address = to.address;
    result_.port = to.port;
    if (status.configured && status.config.protocol == net::Protocol::UsbPro) result_.comPort = status.config.port.number;
    result_.problem = status.problem;
    platform.Close();
  }

  unique_handle stop_;
  std::thread worker_;
  std::atomic<bool> running_{false};
  TestPatternResult result_;  // written by the worker while running_, read after
};

}  // namespace

std::unique_ptr<TestPatternSender> MakeEngineTestPatternSender() {
  return std::make_unique<EngineTestPatternSender>();
}

}  // namespace selvane::netsettings
