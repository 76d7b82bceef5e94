// The output engine through a fake transport and a fake platform: what goes
// out, what is reported and when, and when the file and the transport are
// tried again.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "counting_new.h"
#include "output_engine.h"

namespace selvane::net {
namespace {

const vendor::Library& kDmx510 = vendor::kVendorLibraries[2];
const vendor::Library& kDmx60 = vendor::kVendorLibraries[0];
const vendor::Library& kDmx120 = vendor::kVendorLibraries[1];

struct Sent {
  std::vector<uint8_t> bytes;
  Destination to;
};

class FakeTransport final : public Transport {
 public:
  int Open(const NetworkConfig&) override {
    ++opens;
    return openError;
  }
  SendOutcome Send(const uint8_t* bytes, size_t size, const Destination& to) override {
    if (sendError) {
      lastError = sendError;
      return SendOutcome::Failed;
    }
    ++sends;
    if (record) sent.push_back({std::vector<uint8_t>(bytes, bytes + size), to});
    return SendOutcome::Sent;
  }
  void Close() override { ++closes; }
  int LastError() const override { return openError ? openError : lastError; }
  const char* Name() const override { return "fake socket"; }
  const char* ErrorName() const override { return "fake error"; }

  int openError = 0, sendError = 0, lastError = 0, opens = 0, closes = 0, sends = 0;
  bool record = true;
  std::vector<Sent> sent;
};

class FakePlatform final : public EnginePlatform, public SettingsFile {
 public:
  void Start(Cid& cid, uint8_t& sequenceStart) override {
    ++starts;
    std::memset(cid.bytes, 0xc1, sizeof cid.bytes);
    sequenceStart = 200;
  }
  SettingsFile& Settings() override { return *this; }
  const char* SettingsPath() override { return "C:\\Show\\Selvane.network.ini"; }
  Transport& TransportFor(Protocol) override { return transport; }
  void Report(const char* line) override { reports.push_back(line); }
  void Log(const char* line) override { events.push_back(line); }
  bool Stamp(SettingsStamp& stamp) override {
    stamp = {text.size(), written, ageMs};
    return present;
  }
  ReadOutcome Read(char* out, size_t capacity, size_t& size, bool evenInUse) override {
    ++reads;
    if (inUse && !evenInUse) return ReadOutcome::InUse;
    if (!readable) return ReadOutcome::Unreadable;
    size = text.size() < capacity ? text.size() : capacity;
    std::memcpy(out, text.data(), size);
    return ReadOutcome::Read;
  }
  // A writer saves the file anew: it was written just now.
  void Write(const std::string& t) {
    text = t;
    ++written;
    ageMs = 0;
  }

  FakeTransport transport;
  std::string text = "[Output]\nProtocol = sACN\nDestination = 10.0.0.9\nUniverse = 7\n";
  uint64_t written = 1;
  uint64_t ageMs = 60000;  // an old file unless a test writes it
  bool present = true, readable = true, inUse = false;
  int starts = 0, reads = 0;
  std::vector<std::string> reports;
  std::vector<std::string> events;  // the support log's lines
};

uint8_t g_levels[512];

TEST(OutputEngine, SetLevelSendsOneNumberedUniversePerCallToTheConfiguredDestination) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  for (int i = 0; i < 509; ++i) g_levels[i] = static_cast<uint8_t>(i);
  for (int call = 0; call < 3; ++call) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 5000 + call * 45));
  ASSERT_EQ(3u, platform.transport.sent.size());
  EXPECT_EQ(1, platform.starts);
  EXPECT_EQ(1, platform.transport.opens);
  for (int call = 0; call < 3; ++call) {
    const Sent& p = platform.transport.sent[call];
    ASSERT_EQ(638u, p.bytes.size());
    EXPECT_EQ(0x0a000009u, p.to.address);
    EXPECT_EQ(5568, p.to.port);
    EXPECT_EQ(200 + call, p.bytes[111]);
    EXPECT_EQ(0xc1, p.bytes[22]);
    EXPECT_EQ(0, std::memcmp(p.bytes.data() + 126, g_levels, 509));
    EXPECT_EQ(0, p.bytes[126 + 509]);
  }
  EngineStatus s;
  engine.Status(s);
  EXPECT_TRUE(s.usable);
  EXPECT_TRUE(s.configured);
  EXPECT_EQ(3u, s.framesSent);
  EXPECT_EQ(0u, s.problemsReported);
  EXPECT_TRUE(platform.reports.empty());
}

TEST(OutputEngine, OutDmxSendsEachThreadsFrameAtItsLastIndex) {
  FakePlatform platform;
  OutputEngine engine(kDmx60, platform);
  for (int i = 0; i < 63; ++i) ASSERT_EQ(1, engine.OutDmx(7, static_cast<uint8_t>(i), 0x11, 0));
  for (int i = 0; i < 64; ++i) ASSERT_EQ(1, engine.OutDmx(8, static_cast<uint8_t>(i), 0x22, 0));
  ASSERT_EQ(1u, platform.transport.sent.size()) << "another thread's frame is its own";
  for (int i = 0; i < 64; ++i) ASSERT_EQ(0x22, platform.transport.sent[0].bytes[126 + i]) << i;
  ASSERT_EQ(1, engine.OutDmx(9, 63, 0x33, 0));
  EXPECT_EQ(1u, platform.transport.sent.size()) << "half a frame went out";
  ASSERT_EQ(1, engine.OutDmx(7, 63, 0x11, 0));
  ASSERT_EQ(2u, platform.transport.sent.size());
  for (int i = 0; i < 64; ++i) ASSERT_EQ(0x11, platform.transport.sent[1].bytes[126 + i]) << i;
  EXPECT_EQ(0, platform.transport.sent[1].bytes[126 + 64]);
}

TEST(OutputEngine, ASendThatFailsThenRecoversIsReportedOnceAndOutputGoesOn) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 0));
  platform.transport.sendError = 10065;
  for (int call = 1; call <= 5; ++call) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, call * 45)) << "output goes on";
  ASSERT_EQ(1u, platform.reports.size());
  EXPECT_EQ("Selvane Netzwerk-Ausgabe (DMX510.dll): Senden an 10.0.0.9:5568 gescheitert (fake error 10065); "
            "die Ausgabe l\xC3\xA4uft weiter.\n",
            platform.reports[0]);
  EngineStatus s;
  engine.Status(s);
  EXPECT_TRUE(s.usable);
  EXPECT_EQ(5u, s.sendErrors);
  EXPECT_EQ(10065, s.lastSendError);

  platform.transport.sendError = 0;  // the network is back
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 300));
  EXPECT_EQ(2u, platform.transport.sent.size());
  platform.transport.sendError = 10065;  // a second outage is a new report
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 345));
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 390));
  EXPECT_EQ(2u, platform.reports.size());
  engine.Status(s);
  EXPECT_EQ(2u, s.problemsReported);
}

TEST(OutputEngine, AFileThatCannotBeReadPausesReportsOnceAndIsReadAgainASecondLater) {
  FakePlatform platform;
  platform.readable = false;
  OutputEngine engine(kDmx510, platform);
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 0));
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 500));
  EXPECT_EQ(1, platform.reads) << "looked at more than once a second";
  ASSERT_EQ(1u, platform.reports.size());
  EXPECT_EQ("Selvane Netzwerk-Ausgabe (DMX510.dll): C:\\Show\\Selvane.network.ini: die Datei kann nicht gelesen "
            "werden. Die Ausgabe pausiert bis zum n\xC3\xA4" "chsten Enable.\n",
            platform.reports[0]);
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 1000));
  EXPECT_EQ(2, platform.reads) << "an unreadable file is read again although unchanged";
  EXPECT_EQ(1u, platform.reports.size()) << "the same problem reported twice";
  platform.readable = true;
  EXPECT_EQ(1, engine.SetLevel(g_levels, 509, 2000));
  EXPECT_EQ(1u, platform.transport.sent.size());
  EngineStatus s;
  engine.Status(s);
  EXPECT_STREQ("", s.problem);
}

TEST(OutputEngine, AChangedFileTakesEffectAtTheNextLookAndAnUnchangedOneIsNotReadAgain) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 0));
  platform.Write("[Output]\nProtocol = Art-Net\nDestination = 2.0.0.10\nUniverse = 291\n");
  platform.ageMs = 5000;  // written long before the next look
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 999));
  EXPECT_EQ(5568, platform.transport.sent.back().to.port) << "the file was looked at within a second";
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 1000));
  EXPECT_EQ(6454, platform.transport.sent.back().to.port);
  EXPECT_EQ(0x0200000au, platform.transport.sent.back().to.address);
  EXPECT_EQ(2, platform.reads);
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 5000));
  EXPECT_EQ(2, platform.reads) << "an unchanged file was read again";
  platform.present = false;
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 6000));
  ASSERT_EQ(1u, platform.reports.size());
  EXPECT_NE(std::string::npos, platform.reports[0].find("es gibt keine Einstellungen"));
}

TEST(OutputEngine, ATransportThatCannotOpenIsReportedAndTriedAgainAtTheNextLook) {
  FakePlatform platform;
  platform.transport.openError = 10093;
  OutputEngine engine(kDmx510, platform);
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 0));
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 500));
  EXPECT_EQ(1, platform.transport.opens);
  ASSERT_EQ(1u, platform.reports.size());
  EXPECT_EQ("Selvane Netzwerk-Ausgabe (DMX510.dll): kein fake socket (fake error 10093). Die Ausgabe pausiert bis "
            "zum n\xC3\xA4" "chsten Enable.\n",
            platform.reports[0]);
  platform.transport.openError = 0;
  EXPECT_EQ(1, engine.SetLevel(g_levels, 509, 1000));
  EXPECT_EQ(2, platform.transport.opens);
  EXPECT_EQ(1u, platform.transport.sent.size());
}

TEST(OutputEngine, TheLogGetsALineForStartProblemRecoveryAndUnloadButNoneForAFrame) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  engine.Unloading();
  EXPECT_TRUE(platform.events.empty()) << "never started: nothing to sum up";
  for (int call = 0; call < 20; ++call) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, call * 45));
  ASSERT_EQ(1u, platform.events.size()) << "a line per frame";
  EXPECT_EQ("DMX510.dll: Ausgabe gestartet: sACN an 10.0.0.9:5568, Universum 7, Priorit\xC3\xA4t 100, Quelle "
            "\xE2\x80\x9ESelvane\xE2\x80\x9C (Einstellungen: C:\\Show\\Selvane.network.ini)",
            platform.events[0]);

  platform.transport.sendError = 10065;
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 1000));
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 1045));
  platform.transport.sendError = 0;
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 1090));
  ASSERT_EQ(2u, platform.events.size());
  EXPECT_EQ("DMX510.dll: Senden an 10.0.0.9:5568 geht wieder.", platform.events[1]);

  platform.Write("[Output]\nUniverse = 0\n");
  platform.ageMs = 60000;  // settled
  EXPECT_EQ(0, engine.SetLevel(g_levels, 509, 3000));
  EXPECT_EQ(2u, platform.events.size()) << "a problem is a report, logged by the platform";
  platform.Write("[Output]\nProtocol = Art-Net\nDestination = 2.0.0.10\nUniverse = 3\n");
  platform.ageMs = 60000;  // settled
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 4000));
  ASSERT_EQ(3u, platform.events.size());
  EXPECT_EQ("DMX510.dll: Ausgabe l\xC3\xA4uft wieder: Art-Net an 2.0.0.10:6454, Universum 3 (Einstellungen: "
            "C:\\Show\\Selvane.network.ini)",
            platform.events[2]);
  platform.Write("[Output]\nProtocol = Art-Net\nDestination = 2.0.0.10\nUniverse = 4\n");
  platform.ageMs = 60000;  // settled
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 5000));
  ASSERT_EQ(4u, platform.events.size());
  EXPECT_EQ(0u, platform.events[3].find("DMX510.dll: Einstellungen \xC3\xBC" "bernommen: Art-Net an 2.0.0.10:6454, Universum 4"));

  engine.Unloading();
  ASSERT_EQ(5u, platform.events.size());
  EXPECT_EQ("DMX510.dll: entladen: Bilder gesendet: 23, Sendefehler: 2.", platform.events[4]);
}

// A file saved in two parts 30 ms apart, the first part valid on its own: no
// frame ever goes out with the first part's settings.
TEST(OutputEngine, AFileIsUsedOnlyOnceItHasNotChangedForTheSettlingTime) {
  FakePlatform platform;
  platform.Write("[Output]\nProtocol = sACN\nDestination = 10.0.0.9\n");  // universe 1 by default
  OutputEngine engine(kDmx510, platform);
  uint64_t now = 0;
  for (; now < 30; now += 10) EXPECT_EQ(1, engine.SetLevel(g_levels, 509, now)) << "a file being written is no fault";
  platform.Write("[Output]\nProtocol = sACN\nDestination = 10.0.0.9\nUniverse = 7\n");
  for (; now < 2000; now += 10) {
    platform.ageMs = now >= 30 ? now - 30 : 0;
    ASSERT_EQ(1, engine.SetLevel(g_levels, 509, now)) << now;
  }
  ASSERT_FALSE(platform.transport.sent.empty());
  for (const Sent& p : platform.transport.sent) ASSERT_EQ(7, p.bytes[114]) << "a frame with the first part's universe";
  EXPECT_LT(platform.transport.sent.size(), (2000u - 30u) / 10u) << "used before it had settled";
  EXPECT_GT(platform.transport.sent.size(), (2000u - 30u - 600u) / 10u) << "used long after it had settled";
  EXPECT_TRUE(platform.reports.empty());
}

TEST(OutputEngine, AChangeWhileRunningKeepsTheOldSettingsUntilTheNewFileHasSettled) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  ASSERT_EQ(1, engine.SetLevel(g_levels, 509, 0));  // an old file: used at once
  ASSERT_EQ(1u, platform.transport.sent.size());
  platform.Write("[Output]\nProtocol = sACN\nDestination = 10.0.0.9\nUniverse = 8\n");
  platform.inUse = true;  // and its writer still holds it open
  for (uint64_t now = 1000; now < 3000; now += 10) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, now));
  for (const Sent& p : platform.transport.sent) ASSERT_EQ(7, p.bytes[114]) << "the new file was used while in use";
  EXPECT_TRUE(platform.reports.empty()) << "a file in use is no fault";
  platform.inUse = false;
  platform.ageMs = 2000;
  for (uint64_t now = 3000; now < 3300; now += 10) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, now));
  EXPECT_EQ(8, platform.transport.sent.back().bytes[114]) << "the settled file was not read within 300 ms";
}

// As many host threads as a host runs, each its own frame, with nothing
// allocated on the way.
TEST(OutputEngine, SixtyFourThreadsGetTheirFramesOutWithoutAnAllocation) {
  FakePlatform platform;
  OutputEngine engine(kDmx120, platform);
  ASSERT_EQ(1, engine.OutDmx(1, 0, 0, 0));  // the file read and the transport opened
  platform.transport.record = false;
  ResetAllocationCount();
  CountAllocations(true);
  for (int tick = 0; tick < 3; ++tick)
    for (int i = 0; i < 120; ++i)
      for (uint32_t t = 1; t <= 64; ++t) engine.OutDmx(t, static_cast<uint8_t>(i), static_cast<uint8_t>(t), 10);
  CountAllocations(false);
  EXPECT_EQ(0, AllocationCount());
  EXPECT_EQ(3 * 64, platform.transport.sends);
}

// An editor that keeps the file open for writing but writes no more: its
// file is used once it has stayed the same a while, not never.
TEST(OutputEngine, AFileHeldOpenButUnchangedForTwoSecondsIsUsed) {
  FakePlatform platform;
  platform.inUse = true;
  OutputEngine engine(kDmx510, platform);
  for (uint64_t now = 0; now < 1900; now += 10) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, now));
  EXPECT_TRUE(platform.transport.sent.empty()) << "used while its writer may still be at it";
  for (uint64_t now = 1900; now < 2600; now += 10) ASSERT_EQ(1, engine.SetLevel(g_levels, 509, now));
  EXPECT_FALSE(platform.transport.sent.empty()) << "a file held open is never used";
}

// A count SetLevel cannot use, or no address: nothing sent, 0, one report.
TEST(OutputEngine, SetLevelWithACountOutside1To512OrNoAddressAnswers0AndSendsNothing) {
  FakePlatform platform;
  OutputEngine engine(kDmx510, platform);
  const struct {
    const uint8_t* levels;
    int32_t count;
  } bad[] = {{g_levels, 0}, {g_levels, -1}, {g_levels, static_cast<int32_t>(0xFFFF0005u)}, {g_levels, 513},
             {nullptr, 510}, {nullptr, 0}};
  for (const auto& c : bad) {
    for (int tick = 0; tick < 3; ++tick)
      EXPECT_EQ(0, engine.SetLevel(c.levels, c.count, 0)) << c.count << (c.levels ? "" : " at NULL");
  }
  EXPECT_TRUE(platform.transport.sent.empty()) << "a frame went out for an unusable call";
  EXPECT_EQ(std::size(bad), platform.reports.size()) << "each kind of call reported once";
  ASSERT_FALSE(platform.reports.empty());
  // In German like every status text, naming what the host passed.
  EXPECT_NE(std::string::npos,
            platform.reports[0].find("SetLevel mit Werten und der Anzahl 0 aufgerufen: gesendet werden 1 bis 512 "
                                     "Werte. Nichts gesendet. Die Ausgabe pausiert bis zum n\xC3\xA4" "chsten Enable."))
      << platform.reports[0];
  EXPECT_NE(std::string::npos, platform.reports[4].find("SetLevel mit keiner Adresse (NULL) und der Anzahl 510"))
      << platform.reports[4];
  EXPECT_EQ(1, engine.SetLevel(g_levels, 512, 0));
  EXPECT_EQ(1, engine.SetLevel(g_levels, 1, 0));
  EXPECT_EQ(2u, platform.transport.sent.size());
}

}  // namespace
}  // namespace selvane::net
