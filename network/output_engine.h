#pragma once
// The output engine of the network interface libraries: it takes the calls of
// the maker's contract (SetLevel, or OutDMX per channel), reads and checks the
// settings, gathers each thread's OutDMX calls into frames, numbers and builds
// the packets, hands them to a transport, and decides what to report and when
// to try again. It knows nothing of Win32: the platform around it (the
// library's adapter, or a settings program) gives it the file, the source's
// identity, the transports and somewhere to report. Plain C++ without
// allocation; the caller serialises the calls.
//
// Adding a protocol: a value of Protocol, its keys in ParseNetworkConfig, its
// packet in BuildOutgoingPacket and its destination in DestinationOf; the
// platform's TransportFor says what carries it. Adding a transport (a serial
// port, say): implement Transport (Open from the configuration, Send, Close,
// LastError; Busy when the last frame is still going out; DescribeFailure
// where the default report of a failed send does not fit) and return it from
// TransportFor. The engine itself does not change for either.
#include <cstddef>
#include <cstdint>

#include "channel_gatherer.h"
#include "e131_packet.h"
#include "network_config.h"
#include "outgoing_packet.h"
#include "sequence_counters.h"
#include "settings_watch.h"
#include "transport.h"
#include "vendor_contract.h"

namespace selvane::net {

class EnginePlatform {
 public:
  // Once, before the first frame: the sACN source's CID and the first
  // sequence number of each universe.
  virtual void Start(Cid& cid, uint8_t& sequenceStart) = 0;
  virtual SettingsFile& Settings() = 0;
  // The settings file's full path in UTF-8, for reports.
  virtual const char* SettingsPath() = 0;
  virtual Transport& TransportFor(Protocol protocol) = 0;
  // One line of UTF-8 for whoever watches the library: a problem.
  virtual void Report(const char* line) = 0;
  // One line of UTF-8 for the support log: output started, settings taken
  // up, recovery, unload. Events only, never per frame.
  virtual void Log(const char* line) = 0;

 protected:
  ~EnginePlatform() = default;
};

struct EngineStatus {
  bool usable = false;      // the configuration is in use
  bool configured = false;  // `config` holds a usable reading
  NetworkConfig config;
  uint32_t framesSent = 0;
  uint32_t sendErrors = 0;
  int lastSendError = 0;
  uint32_t problemsReported = 0;
  const char* problem = "";  // UTF-8: why the configuration cannot be used, or the last send error
};

class OutputEngine {
 public:
  // `library`: which of the maker's libraries this one stands in for.
  OutputEngine(const vendor::Library& library, EnginePlatform& platform);

  // The maker's entry points; `nowMs` is a monotonic clock in milliseconds.
  vendor::Result SetLevel(const uint8_t* levels, int32_t count, uint64_t nowMs);
  vendor::Result OutDmx(uint32_t threadId, uint8_t index, uint8_t level, uint64_t nowMs);

  void Status(EngineStatus& status) const;

  // The library is unloaded: its summary for the log, if it ever started.
  void Unloading();

 private:
  enum class Readiness { Send, Wait, Paused };
  Readiness Ready(uint64_t nowMs);
  void SendFrame(const uint8_t* levels, size_t count);
  void Report(const char* text);
  void ReportNew(const char* text);
  void LogEvent(const char* format, const char* what);

  const vendor::Library& library_;
  EnginePlatform& platform_;
  bool started_ = false;
  SettingsWatch watch_;
  bool read_ = false;     // the file has been read at least once
  bool badCall_ = false;  // the problem reported is a call's arguments
  ConfigResult reading_;  // the file as last read
  Transport* transport_ = nullptr;  // open, for the reading in use
  bool usable_ = false;
  Cid cid_{};
  SequenceCounters sequences_;
  ChannelGatherer gatherer_;
  OutgoingPacket packet_;
  bool packetBuilt_ = false;  // packet_ holds the header of the reading in use
  uint32_t framesSent_ = 0;
  uint32_t sendErrors_ = 0;
  int lastSendError_ = 0;
  bool lastSendFailed_ = false;
  uint32_t problemsReported_ = 0;
  bool everUsable_ = false;
  char problem_[512] = "";
  char name_[32] = "";  // the library's file name, for reports
};

}  // namespace selvane::net
