#include "output_engine.h"

#include <cstdio>
#include <cstring>

namespace selvane::net {

namespace {

constexpr char kPaused[] = "Die Ausgabe pausiert bis zum n\xC3\xA4" "chsten Enable.";

// Where the frames go: "COM3", or "239.255.0.1:5568".
void DescribeTarget(const NetworkConfig& c, char* out, size_t capacity) {
  const Destination to = DestinationOf(c);
  if (c.protocol == Protocol::UsbPro)
    std::snprintf(out, capacity, "COM%u", c.port.number);
  else
    std::snprintf(out, capacity, "%u.%u.%u.%u:%u", to.address >> 24, (to.address >> 16) & 255,
                  (to.address >> 8) & 255, to.address & 255, to.port);
}

// "sACN an 239.255.0.1:5568, Universum 1, Priorität 100, Quelle „Selvane“"; "USB-Pro an COM3"
void DescribeOutput(const NetworkConfig& c, char* out, size_t capacity) {
  char target[32];
  DescribeTarget(c, target, sizeof target);
  if (c.protocol == Protocol::UsbPro) {
    std::snprintf(out, capacity, "USB-Pro an %s", target);
    return;
  }
  const int n = std::snprintf(out, capacity, "%s an %s, Universum %u",
                              c.protocol == Protocol::ArtNet ? "Art-Net" : "sACN", target, c.universe);
  if (c.protocol == Protocol::Sacn && n > 0 && static_cast<size_t>(n) < capacity)
    std::snprintf(out + n, capacity - static_cast<size_t>(n),
                  ", Priorit\xC3\xA4t %u, Quelle \xE2\x80\x9E%s\xE2\x80\x9C", c.priority, c.sourceName);
}

}  // namespace

OutputEngine::OutputEngine(const vendor::Library& library, EnginePlatform& platform)
    : library_(library),
      platform_(platform),
      gatherer_(library.entry == vendor::kSetLevelEntry ? 1 : library.channels) {
  for (size_t i = 0; library_.file[i] && i + 1 < sizeof name_; ++i) name_[i] = static_cast<char>(library_.file[i]);
}

// One report per distinct problem; an empty text clears it.
void OutputEngine::Report(const char* text) {
  if (std::strcmp(text, problem_) == 0) return;
  std::snprintf(problem_, sizeof problem_, "%s", text);
  if (!text[0]) return;
  ++problemsReported_;
  char line[640];
  std::snprintf(line, sizeof line, "Selvane Netzwerk-Ausgabe (%s): %s\n", name_, text);
  platform_.Report(line);
}

// "<library>: <format with what>" to the support log.
void OutputEngine::LogEvent(const char* format, const char* what) {
  char text[512];
  std::snprintf(text, sizeof text, format, what);
  char line[600];
  std::snprintf(line, sizeof line, "%s: %s", name_, text);
  platform_.Log(line);
}

void OutputEngine::Unloading() {
  if (!started_) return;
  char counts[96];
  std::snprintf(counts, sizeof counts, "Bilder gesendet: %u, Sendefehler: %u", framesSent_, sendErrors_);
  LogEvent("entladen: %s.", counts);
}

// A report even when the text repeats an earlier one's.
void OutputEngine::ReportNew(const char* text) {
  problem_[0] = 0;
  Report(text);
}

OutputEngine::Readiness OutputEngine::Ready(uint64_t nowMs) {
  if (!started_) {
    started_ = true;
    uint8_t sequenceStart = 0;
    platform_.Start(cid_, sequenceStart);
    sequences_ = SequenceCounters(sequenceStart);
  }
  if (!watch_.Due(nowMs) || !watch_.Refresh(nowMs, platform_.Settings(), reading_)) {
    if (usable_) return Readiness::Send;
    // The first file still being written is no fault: nothing goes out meanwhile.
    return watch_.Settling() && !read_ ? Readiness::Wait : Readiness::Paused;
  }
  read_ = true;
  const bool wasUsable = usable_;
  usable_ = false;
  packetBuilt_ = false;
  char text[512];
  if (!reading_.Ok()) {
    char reason[256];
    DescribeConfigProblem(reading_, reason, sizeof reason);
    std::snprintf(text, sizeof text, "%s: %s. %s", platform_.SettingsPath(), reason, kPaused);
    Report(text);
    return Readiness::Paused;
  }
  Transport& transport = platform_.TransportFor(reading_.config.protocol);
  if (transport_ && transport_ != &transport) transport_->Close();
  transport_ = &transport;
  if (const int error = transport.Open(reading_.config)) {
    std::snprintf(text, sizeof text, "kein %s (%s %d). %s", transport.Name(), transport.ErrorName(), error, kPaused);
    Report(text);
    watch_.RereadAtNextLook();  // and try to open it again then
    return Readiness::Paused;
  }
  Report("");
  usable_ = true;
  char output[256];
  DescribeOutput(reading_.config, output, sizeof output);
  std::snprintf(text, sizeof text, "%s (Einstellungen: %s)", output, platform_.SettingsPath());
  LogEvent(!everUsable_ ? "Ausgabe gestartet: %s"
                        : wasUsable ? "Einstellungen \xC3\xBC" "bernommen: %s" : "Ausgabe l\xC3\xA4uft wieder: %s",
           text);
  everUsable_ = true;
  return Readiness::Send;
}

void OutputEngine::SendFrame(const uint8_t* levels, size_t count) {
  if (packetBuilt_) {
    RefreshOutgoingPacket(reading_.config, sequences_, levels, count, packet_);
  } else {
    BuildOutgoingPacket(reading_.config, cid_, sequences_, levels, count, packet_);
    packetBuilt_ = true;
  }
  const SendOutcome outcome = transport_->Send(packet_.bytes, packet_.size, packet_.to);
  if (outcome == SendOutcome::Busy) return;
  if (outcome == SendOutcome::Sent) {
    ++framesSent_;
    if (lastSendFailed_) {
      char again[32];
      DescribeTarget(reading_.config, again, sizeof again);
      LogEvent("Senden an %s geht wieder.", again);
    }
    lastSendFailed_ = false;
    return;
  }
  ++sendErrors_;
  const int error = transport_->LastError();
  // Once per outage: the output comes back by itself when the network does.
  if (!lastSendFailed_ || error != lastSendError_) {
    char text[200];
    transport_->DescribeFailure(packet_.to, text, sizeof text);
    ReportNew(text);
  }
  lastSendFailed_ = true;
  lastSendError_ = error;
}

vendor::Result OutputEngine::SetLevel(const uint8_t* levels, int32_t count, uint64_t nowMs) {
  // A frame of zeros for a call it cannot use would be a blackout reported as success.
  if (!levels || count < 1 || count > static_cast<int32_t>(kDmxSlots)) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "SetLevel mit %s und der Anzahl %ld aufgerufen: gesendet werden 1 bis 512 Werte. Nichts "
                  "gesendet. %s",
                  levels ? "Werten" : "keiner Adresse (NULL)", static_cast<long>(count), kPaused);
    Report(text);
    badCall_ = true;
    return 0;
  }
  if (badCall_) {
    badCall_ = false;
    Report("");
  }
  const Readiness readiness = Ready(nowMs);
  if (readiness == Readiness::Send) SendFrame(levels, static_cast<size_t>(count));
  return readiness == Readiness::Paused ? 0 : 1;
}

vendor::Result OutputEngine::OutDmx(uint32_t threadId, uint8_t index, uint8_t level, uint64_t nowMs) {
  const Readiness readiness = Ready(nowMs);
  if (readiness == Readiness::Paused) return 0;
  uint8_t frame[ChannelGatherer::kMaxChannels];
  if (gatherer_.Put(threadId, index, level, frame) && readiness == Readiness::Send)
    SendFrame(frame, static_cast<size_t>(gatherer_.Channels()));
  return 1;
}

void OutputEngine::Status(EngineStatus& status) const {
  status.usable = usable_;
  status.configured = started_ && reading_.Ok();
  status.config = reading_.config;
  status.framesSent = framesSent_;
  status.sendErrors = sendErrors_;
  status.lastSendError = lastSendError_;
  status.problemsReported = problemsReported_;
  status.problem = problem_;
}

}  // namespace selvane::net
