// Selvane.network.ini as users write it, and every way it can be unusable.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "network_config.h"

namespace selvane::net {
namespace {

ConfigResult Parse(const std::string& text) { return ParseNetworkConfig(text.data(), text.size()); }

std::string Describe(const ConfigResult& r) {
  char text[256];
  DescribeConfigProblem(r, text, sizeof text);
  return text;
}

TEST(NetworkConfig, TheDocumentedSacnExample) {
  const ConfigResult r = Parse(
      "[Output]\n"
      "Protocol = sACN          ; sACN or Art-Net (any case)\n"
      "Destination =            ; an IPv4 address; empty for sACN: the universe's multicast group\n"
      "Universe = 1             ; sACN: 1 to 63999; Art-Net: the port-address, 0 to 32767\n"
      "Priority = 100           ; sACN only: 0 to 200\n"
      "SourceName = Selvane     ; sACN only: at most 63 bytes in UTF-8\n");
  ASSERT_TRUE(r.Ok()) << Describe(r);
  EXPECT_EQ(Protocol::Sacn, r.config.protocol);
  EXPECT_FALSE(r.config.hasDestination);
  EXPECT_EQ(1, r.config.universe);
  EXPECT_EQ(100, r.config.priority);
  EXPECT_STREQ("Selvane", r.config.sourceName);
}

TEST(NetworkConfig, BomBlanksCommentsCaseAndCrLfAreAccepted) {
  const ConfigResult r = Parse(
      "\xEF\xBB\xBF# written by hand\r\n"
      "[other]\r\nUniverse = not ours\r\n"
      "  [ output ]  \r\n"
      "\tprotocol=ART-NET#comment\r\n"
      "  DESTINATION   =   10.0.0.255  \r\n"
      "universe=32767\r\n");
  ASSERT_TRUE(r.Ok()) << Describe(r);
  EXPECT_EQ(Protocol::ArtNet, r.config.protocol);
  EXPECT_TRUE(r.config.hasDestination);
  EXPECT_EQ(0x0a0000ffu, r.config.destination);
  EXPECT_EQ(32767, r.config.universe);
}

TEST(NetworkConfig, MissingKeysTakeTheirDefaults) {
  const ConfigResult r = Parse("[Output]\n");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(Protocol::Sacn, r.config.protocol);
  EXPECT_EQ(1, r.config.universe);
  EXPECT_EQ(100, r.config.priority);
  EXPECT_STREQ("Selvane", r.config.sourceName);
  const ConfigResult art = Parse("[Output]\nProtocol = Art-Net\nDestination = 127.0.0.1\n");
  ASSERT_TRUE(art.Ok());
  EXPECT_EQ(1, art.config.universe);
}

TEST(NetworkConfig, UnicodeSourceNameUpTo63Bytes) {
  const std::string name63 = std::string(61, 'a') + "\xC3\xA9";  // 61 + 2 bytes
  const ConfigResult r = Parse("[Output]\nSourceName = " + name63 + "\n");
  ASSERT_TRUE(r.Ok()) << Describe(r);
  EXPECT_EQ(name63, r.config.sourceName);
}

TEST(NetworkConfig, RangeEdgesOfUniverseAndPriority) {
  EXPECT_TRUE(Parse("[Output]\nUniverse = 63999\nPriority = 0\n").Ok());
  EXPECT_TRUE(Parse("[Output]\nPriority = 200\n").Ok());
  EXPECT_TRUE(Parse("[Output]\nProtocol = Art-Net\nDestination = 2.255.255.255\nUniverse = 0\n").Ok());
}

struct BadCase {
  const char* text;
  ConfigProblem problem;
  const char* key;
  int line;
};

TEST(NetworkConfig, UnusableConfigurationsNameTheKeyAndLine) {
  const BadCase cases[] = {
      {"Protocol = sACN\n", ConfigProblem::NoOutputSection, "", 0},
      {"[Output]\nProtocol = DMX\n", ConfigProblem::UnknownProtocol, "Protocol", 2},
      {"[Output]\nProtocol = ArtNet\n", ConfigProblem::UnknownProtocol, "Protocol", 2},
      {"[Output]\nUniverse = 0\n", ConfigProblem::UniverseOutOfRange, "Universe", 2},
      {"[Output]\nUniverse = 64000\n", ConfigProblem::UniverseOutOfRange, "Universe", 2},
      {"[Output]\nUniverse = 99999999999\n", ConfigProblem::UniverseOutOfRange, "Universe", 2},
      {"[Output]\nUniverse = -1\n", ConfigProblem::UniverseNotNumber, "Universe", 2},
      {"[Output]\nUniverse =\n", ConfigProblem::UniverseNotNumber, "Universe", 2},
      {"[Output]\nProtocol = Art-Net\nDestination = 10.0.0.9\nUniverse = 32768\n",
       ConfigProblem::UniverseOutOfRange, "Universe", 4},
      {"[Output]\nPriority = 201\n", ConfigProblem::PriorityOutOfRange, "Priority", 2},
      {"[Output]\nPriority = high\n", ConfigProblem::PriorityNotNumber, "Priority", 2},
      {"[Output]\nDestination = 192.168.1\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = 192.168.1.256\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = 192.168.1.2.3\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = node.local\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = 0.0.0.0\n", ConfigProblem::BadDestination, "Destination", 2},
      // Windows' own parser reads a leading zero as octal: 010 is 8 there, not 10.
      {"[Output]\nDestination = 010.0.0.1\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = 10.0.0.01\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nDestination = 192.168.00.1\n", ConfigProblem::BadDestination, "Destination", 2},
      {"[Output]\nProtocol = Art-Net\n", ConfigProblem::ArtNetWithoutDestination, "Destination", 0},
      {"[Output]\nProtocol = Art-Net\nDestination =\n", ConfigProblem::ArtNetWithoutDestination, "Destination", 3},
      {"[Output]\nUniverse 5\n", ConfigProblem::NotKeyValue, "", 2},
      {"[Output]\nUnivers = 5\n", ConfigProblem::UnknownKey, "Univers", 2},
      {"[Output]\nUniverse = 5\nUniverse = 6\n", ConfigProblem::RepeatedKey, "Universe", 3},
      {"[Output]\nSourceName = \xC3\n", ConfigProblem::SourceNameNotUtf8, "SourceName", 2},
      {"[Output]\nSourceName = \xED\xA0\x80\n", ConfigProblem::SourceNameNotUtf8, "SourceName", 2},
  };
  for (const BadCase& c : cases) {
    const ConfigResult r = Parse(c.text);
    EXPECT_EQ(c.problem, r.problem) << c.text;
    EXPECT_STREQ(c.key, r.key) << c.text;
    EXPECT_EQ(c.line, r.line) << c.text;
  }
  const ConfigResult tooLong = Parse("[Output]\nSourceName = " + std::string(64, 'n') + "\n");
  EXPECT_EQ(ConfigProblem::SourceNameTooLong, tooLong.problem);
  EXPECT_EQ(ConfigProblem::TooLarge, Parse("[Output]\n" + std::string(kMaxConfigFileBytes, ';')).problem);
}

TEST(NetworkConfig, ProblemsReadAsASentenceWithLineAndKey) {
  EXPECT_EQ("Zeile 2, Universe: au\xC3\x9F" "erhalb des Bereichs: sACN-Universen sind 1 bis 63999",
            Describe(Parse("[Output]\nUniverse = 0\n")));
  EXPECT_EQ("Destination: Art-Net braucht ein Ziel: die Adresse des Knotens oder eine Broadcast-Adresse wie "
            "2.255.255.255",
            Describe(Parse("[Output]\nProtocol = art-net\n")));
  // Notepad's "Unicode": UTF-16, with or without a byte-order mark.
  const std::string utf16le("\xFF\xFE[\0O\0u\0t\0p\0u\0t\0]\0\n\0", 20);
  const std::string utf16be("\xFE\xFF\0[\0O\0u\0t\0p\0u\0t\0]\0\n", 20);
  const std::string noMark("[\0O\0u\0t\0p\0u\0t\0]\0\n\0", 18);
  for (const std::string& text : {utf16le, utf16be, noMark})
    EXPECT_EQ("die Datei ist kein UTF-8: als UTF-8 speichern", Describe(Parse(text)));
  char small[8];
  DescribeConfigProblem(Parse("[Output]\nUniverse = 0\n"), small, sizeof small);
  EXPECT_EQ(7u, std::strlen(small));  // cut, but terminated
}

}  // namespace
}  // namespace selvane::net
