// USB-Pro in the output engine: the settings that name it, the message it
// sends, and an engine driving a port that skips and fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "output_engine.h"

namespace selvane::net {
namespace {

ConfigResult Parse(const std::string& text) { return ParseNetworkConfig(text.data(), text.size()); }

std::string Describe(const ConfigResult& r) {
  char text[256];
  DescribeConfigProblem(r, text, sizeof text);
  return text;
}

TEST(UsbProSettings, ProtocolAndPortInAnyCase) {
  const ConfigResult r = Parse("[Output]\nProtocol = usb-pro   ; a DMX USB Pro interface\nPort = com12\n");
  ASSERT_TRUE(r.Ok()) << Describe(r);
  EXPECT_EQ(Protocol::UsbPro, r.config.protocol);
  EXPECT_EQ(12u, r.config.port.number);
  EXPECT_EQ(std::wstring(L"\\\\.\\COM12"), r.config.port.device);
  const ConfigResult device = Parse("[Output]\nPort = \\\\.\\COM256\nProtocol = USB-Pro\n");
  ASSERT_TRUE(device.Ok()) << Describe(device);
  EXPECT_EQ(256u, device.config.port.number);
}

TEST(UsbProSettings, BadSettingsAreRefusedWithTheKeyAndLine) {
  struct Case {
    const char* text;
    ConfigProblem problem;
    const char* description;
  } cases[] = {
      {"[Output]\nProtocol = USB-Pro\n", ConfigProblem::UsbProWithoutPort,
       "Port: USB-Pro braucht einen Port: den COM-Port des Interfaces, etwa COM3"},
      {"[Output]\nProtocol = USB-Pro\nPort =\n", ConfigProblem::UsbProWithoutPort,
       "Zeile 3, Port: USB-Pro braucht einen Port: den COM-Port des Interfaces, etwa COM3"},
      {"[Output]\nProtocol = USB-Pro\nPort = COM0\n", ConfigProblem::BadPort,
       "Zeile 3, Port: kein COM-Port: COM1 bis COM256, etwa COM3"},
      {"[Output]\nProtocol = USB-Pro\nPort = COM257\n", ConfigProblem::BadPort,
       "Zeile 3, Port: kein COM-Port: COM1 bis COM256, etwa COM3"},
      {"[Output]\nProtocol = USB-Pro\nPort = /dev/ttyUSB0\n", ConfigProblem::BadPort,
       "Zeile 3, Port: kein COM-Port: COM1 bis COM256, etwa COM3"},
      {"[Output]\nProtocol = USB-Pro\nPort = COM3\nUniverse = 1\n", ConfigProblem::NotForUsbPro,
       "Zeile 4, Universe: gilt nicht f\xC3\xBCr USB-Pro: entfernen (USB-Pro braucht nur Port)"},
      // The first of them in the file is named.
      {"[Output]\nSourceName = x\nProtocol = USB-Pro\nPort = COM3\nDestination = 10.0.0.1\n",
       ConfigProblem::NotForUsbPro,
       "Zeile 2, SourceName: gilt nicht f\xC3\xBCr USB-Pro: entfernen (USB-Pro braucht nur Port)"},
      {"[Output]\nProtocol = USB-Pro\nPort = COM3\nPriority =\n", ConfigProblem::NotForUsbPro,
       "Zeile 4, Priority: gilt nicht f\xC3\xBCr USB-Pro: entfernen (USB-Pro braucht nur Port)"},
      {"[Output]\nProtocol = sACN\nPort = COM3\n", ConfigProblem::PortNotForNetwork,
       "Zeile 3, Port: Port gilt nur f\xC3\xBCr USB-Pro: entfernen oder Protocol = USB-Pro setzen"},
      {"[Output]\nProtocol = USB Pro\nPort = COM3\n", ConfigProblem::UnknownProtocol,
       "Zeile 2, Protocol: unbekanntes Protokoll: sACN, Art-Net oder USB-Pro"},
      {"[Output]\nProtocol = USB-Pro\nPort = COM3\nPort = COM4\n", ConfigProblem::RepeatedKey,
       "Zeile 4, Port: doppelt angegeben"},
  };
  for (const Case& c : cases) {
    const ConfigResult r = Parse(c.text);
    EXPECT_EQ(c.problem, r.problem) << c.text;
    EXPECT_EQ(c.description, Describe(r)) << c.text;
  }
}

TEST(UsbProSettings, OneUniverseAsOneLabel6Message) {
  const ConfigResult r = Parse("[Output]\nProtocol = USB-Pro\nPort = COM3\n");
  ASSERT_TRUE(r.Ok());
  uint8_t levels[120];
  for (size_t i = 0; i < sizeof levels; ++i) levels[i] = static_cast<uint8_t>(255 - i);
  SequenceCounters sequences;
  OutgoingPacket packet;
  BuildOutgoingPacket(r.config, Cid{}, sequences, levels, sizeof levels, packet);
  ASSERT_EQ(518u, packet.size);
  const uint8_t head[] = {0x7e, 0x06, 0x01, 0x02, 0x00, 255, 254, 253};
  EXPECT_EQ(0, std::memcmp(packet.bytes, head, sizeof head));
  EXPECT_EQ(255 - 119, packet.bytes[5 + 119]);
  for (size_t slot = 120; slot < 512; ++slot) ASSERT_EQ(0, packet.bytes[5 + slot]) << slot + 1;
  EXPECT_EQ(0xe7, packet.bytes[517]);
}

// A port that the test tells to send, skip or fail, as SerialTransport does.
class FakePort final : public Transport {
 public:
  int Open(const NetworkConfig& config) override {
    port = config.port.number;
    return 0;
  }
  SendOutcome Send(const uint8_t* bytes, size_t size, const Destination&) override {
    if (outcome == SendOutcome::Sent) messages.emplace_back(bytes, bytes + size);
    return outcome;
  }
  void Close() override {}
  int LastError() const override { return error; }
  const char* Name() const override { return "COM-Port"; }
  const char* ErrorName() const override { return "Windows-Fehler"; }
  void DescribeFailure(const Destination&, char* out, size_t capacity) const override {
    std::snprintf(out, capacity, "kein Interface an COM%u (Windows-Fehler %d).", port, error);
  }

  unsigned port = 0;
  SendOutcome outcome = SendOutcome::Sent;
  int error = 0;
  std::vector<std::vector<uint8_t>> messages;
};

class Platform final : public EnginePlatform, public SettingsFile {
 public:
  void Start(Cid&, uint8_t&) override {}
  SettingsFile& Settings() override { return *this; }
  const char* SettingsPath() override { return "Selvane.network.ini"; }
  Transport& TransportFor(Protocol protocol) override {
    EXPECT_EQ(Protocol::UsbPro, protocol);
    return port;
  }
  void Report(const char* line) override { reports.push_back(line); }
  void Log(const char* line) override { events.push_back(line); }
  bool Stamp(SettingsStamp& stamp) override {
    stamp = {text.size(), 1, kSettlingMs};  // written long enough ago to be used at once
    return true;
  }
  ReadOutcome Read(char* out, size_t capacity, size_t& size, bool) override {
    size = text.size() < capacity ? text.size() : capacity;
    std::memcpy(out, text.data(), size);
    return ReadOutcome::Read;
  }

  std::string text = "[Output]\nProtocol = USB-Pro\nPort = COM7\n";
  FakePort port;
  std::vector<std::string> reports;
  std::vector<std::string> events;  // the support log's lines
};

TEST(UsbProEngine, SkippedFramesAreNeitherSentNorErrorsAndAnOutageIsReportedOnceInTheTransportsWords) {
  Platform platform;
  OutputEngine engine(vendor::kVendorLibraries[1], platform);  // DMX120.dll: OutDMX, 120 channels
  auto frame = [&](uint64_t ms) {
    for (int c = 0; c < 120; ++c) ASSERT_EQ(1, engine.OutDmx(1, static_cast<uint8_t>(c), 200, ms));
  };
  frame(0);
  EXPECT_EQ(7u, platform.port.port);
  ASSERT_EQ(1u, platform.port.messages.size());
  EXPECT_EQ(200, platform.port.messages[0][5 + 119]);
  EXPECT_EQ(0, platform.port.messages[0][5 + 120]);

  platform.port.outcome = SendOutcome::Busy;  // the last message is still going out
  frame(45);
  frame(90);
  EngineStatus s;
  engine.Status(s);
  EXPECT_EQ(1u, s.framesSent);
  EXPECT_EQ(0u, s.sendErrors);
  EXPECT_TRUE(platform.reports.empty());

  platform.port.outcome = SendOutcome::Failed;  // unplugged: the library goes on answering 1
  platform.port.error = 2;
  for (uint64_t ms = 135; ms < 2000; ms += 45) frame(ms);
  ASSERT_EQ(1u, platform.reports.size());
  EXPECT_EQ("Selvane Netzwerk-Ausgabe (DMX120.dll): kein Interface an COM7 (Windows-Fehler 2).\n", platform.reports[0]);
  engine.Status(s);
  EXPECT_TRUE(s.usable);

  platform.port.outcome = SendOutcome::Sent;  // back: the current levels go out at once
  frame(2000);
  EXPECT_EQ(2u, platform.port.messages.size());

  // The log names the port, not a network destination.
  ASSERT_EQ(2u, platform.events.size());
  EXPECT_EQ("DMX120.dll: Ausgabe gestartet: USB-Pro an COM7 (Einstellungen: Selvane.network.ini)", platform.events[0]);
  EXPECT_EQ("DMX120.dll: Senden an COM7 geht wieder.", platform.events[1]);
}

}  // namespace
}  // namespace selvane::net
