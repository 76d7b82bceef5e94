// The fields of "Selvane Netzwerk" and the file they compose, checked by the
// libraries' own parser.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "settings_form.h"

namespace selvane::netsettings {
namespace {

SettingsFields Fields(const char* protocol, const char* destination, const char* universe, const char* priority,
                      const char* sourceName) {
  SettingsFields f;
  f[Field::Protocol] = protocol;
  f[Field::Destination] = destination;
  f[Field::Universe] = universe;
  f[Field::Priority] = priority;
  f[Field::SourceName] = sourceName;
  return f;
}

net::ConfigResult Parse(const std::string& text) { return net::ParseNetworkConfig(text.data(), text.size()); }

TEST(SettingsForm, TheDefaultsAreTheExampleFilesValues) {
  std::ifstream example(SELVANE_EXAMPLE_INI, std::ios::binary);
  ASSERT_TRUE(example) << SELVANE_EXAMPLE_INI;
  std::stringstream text;
  text << example.rdbuf();
  const SettingsFields read = ReadFields(text.str().data(), text.str().size());
  const SettingsFields defaults = DefaultFields();
  for (int k = 0; k < kFieldCount; ++k) EXPECT_EQ(read.values[k], defaults.values[k]) << "field " << k;
  EXPECT_EQ("sACN", defaults[Field::Protocol]);
  EXPECT_EQ("1", defaults[Field::Universe]);
}

TEST(SettingsForm, ASaveWritesOurCommentsAndEveryKeyInAFixedOrderThatTheParserReadsBack) {
  const std::string text = ComposeSettingsText(Fields("Art-Net", "2.0.0.10", "291", "100", "B\xC3\xBChne 1"));
  EXPECT_EQ(0u, text.find("; Selvane Netzwerk"));
  const size_t p = text.find("Protocol = Art-Net\r\n"), d = text.find("Destination = 2.0.0.10\r\n"),
               u = text.find("Universe = 291\r\n"), r = text.find("Priority = 100\r\n"),
               s = text.find("SourceName = B\xC3\xBChne 1\r\n");
  ASSERT_NE(std::string::npos, s) << text;
  EXPECT_LT(text.find("[Output]\r\n"), p);
  EXPECT_TRUE(p < d && d < u && u < r && r < s) << text;
  const net::ConfigResult parsed = Parse(text);
  ASSERT_TRUE(parsed.Ok());
  EXPECT_EQ(net::Protocol::ArtNet, parsed.config.protocol);
  EXPECT_EQ(0x0200000au, parsed.config.destination);
  EXPECT_EQ(291, parsed.config.universe);

  const FieldsCheck sacn = CheckFields(Fields("sACN", "", "7", "200", "B\xC3\xBChne 1"));
  ASSERT_TRUE(sacn.Ok()) << sacn.message;
  EXPECT_FALSE(sacn.config.hasDestination);
  EXPECT_EQ(200, sacn.config.priority);
  EXPECT_STREQ("B\xC3\xBChne 1", sacn.config.sourceName);
}

TEST(SettingsForm, EachBadValueIsNamedAtItsOwnFieldInGerman) {
  struct Case {
    SettingsFields fields;
    Field field;
    const char* words;
  } cases[] = {
      {Fields("DMX", "", "1", "100", "S"), Field::Protocol, "Unbekanntes Protokoll"},
      {Fields("", "", "1", "100", "S"), Field::Protocol, "Unbekanntes Protokoll"},
      {Fields("sACN", "300.1.1.1", "1", "100", "S"), Field::Destination, "Keine IPv4-Adresse"},
      {Fields("Art-Net", "", "1", "100", "S"), Field::Destination, "braucht ein Ziel"},
      {Fields("sACN", "", "0", "100", "S"), Field::Universe, "1 bis 63999"},
      {Fields("sACN", "", "70000", "100", "S"), Field::Universe, "1 bis 63999"},
      {Fields("Art-Net", "2.0.0.10", "32768", "100", "S"), Field::Universe, "0 bis 32767"},
      {Fields("sACN", "", "eins", "100", "S"), Field::Universe, "Keine ganze Zahl"},
      {Fields("sACN", "", "1", "201", "S"), Field::Priority, "0 bis 200"},
      {Fields("sACN", "", "1", "-1", "S"), Field::Priority, "Keine ganze Zahl"},
      {Fields("sACN", "", "1", "100", std::string(64, 'n').c_str()), Field::SourceName, "63 Bytes"},
      {Fields("sACN", "", "1", "100", "B\xFChne"), Field::SourceName, "UTF-8"},
      // A comment character would cut the value short in the file.
      {Fields("sACN", "", "1", "100", "Show #2"), Field::SourceName, "Kommentar"},
      {Fields("sACN", "10.0.0.1;x", "1", "100", "S"), Field::Destination, "Kommentar"},
  };
  for (const Case& c : cases) {
    const FieldsCheck check = CheckFields(c.fields);
    EXPECT_FALSE(check.Ok());
    EXPECT_EQ(c.field, check.field) << check.message;
    EXPECT_NE(std::string::npos, check.message.find(c.words)) << check.message;
    EXPECT_TRUE(check.message[0] < 'a' || check.message[0] > 'z') << "begins with a capital: " << check.message;
  }
  // Art-Net ignores what only sACN uses, as the libraries do.
  EXPECT_TRUE(CheckFields(Fields("Art-Net", "2.255.255.255", "0", "999", std::string(80, 'n').c_str())).Ok());
}

TEST(SettingsForm, ARefusedFileShowsWhatCanBeRead) {
  const std::string text =
      "\xEF\xBB\xBF; hand-written\r\n[Other]\r\nUniverse = 5\r\n[ output ]\r\n"
      "protocol = art-net ; lower case\r\nDestination=2.0.0.10\r\nUniverse = 70000\r\nbroken line\r\n";
  ASSERT_FALSE(Parse(text).Ok());
  const SettingsFields f = ReadFields(text.data(), text.size());
  EXPECT_EQ("art-net", f[Field::Protocol]);
  EXPECT_EQ("2.0.0.10", f[Field::Destination]);
  EXPECT_EQ("70000", f[Field::Universe]);
  EXPECT_EQ("100", f[Field::Priority]) << "a missing key keeps its default";
  EXPECT_EQ("Selvane", f[Field::SourceName]);
}

TEST(SettingsForm, EveryProblemHasAGermanReasonAndTheLineAndKeyAreNamed) {
  for (int p = static_cast<int>(net::ConfigProblem::None); p <= static_cast<int>(net::ConfigProblem::ArtNetWithoutDestination);
       ++p) {
    net::ConfigResult r;
    r.problem = static_cast<net::ConfigProblem>(p);
    EXPECT_STRNE("", net::ConfigProblemReason(r)) << p;
  }
  const net::ConfigResult r = Parse("[Output]\nPriority = 250\n");
  char text[200];
  net::DescribeConfigProblem(r, text, sizeof text);
  EXPECT_STREQ("Zeile 2, Priority: au\xC3\x9F" "erhalb des Bereichs: die sACN-Priorit\xC3\xA4t ist 0 bis 200", text);
  EXPECT_EQ(Field::Priority, FieldOfKey(r.key));
  EXPECT_EQ(Field::Port, FieldOfKey("port"));
  EXPECT_EQ(Field::None, FieldOfKey("Baud"));
}

SettingsFields UsbPro(const char* port) {
  SettingsFields f = DefaultFields();
  f[Field::Protocol] = "USB-Pro";
  f[Field::Port] = port;
  return f;
}

TEST(SettingsForm, AUsbProSaveWritesProtocolAndPortAndNoNetworkKey) {
  SettingsFields f = UsbPro("COM12");
  f[Field::Destination] = "10.0.0.1";  // left over from a network set-up, disabled on screen
  const std::string text = ComposeSettingsText(f);
  EXPECT_NE(std::string::npos, text.find("Protocol = USB-Pro\r\nPort = COM12\r\n")) << text;
  for (const char* key : {"Destination", "Universe", "Priority", "SourceName"})
    EXPECT_EQ(std::string::npos, text.find(key)) << text;
  const FieldsCheck check = CheckFields(f);
  ASSERT_TRUE(check.Ok()) << check.message;
  EXPECT_EQ(net::Protocol::UsbPro, check.config.protocol);
  EXPECT_EQ(12u, check.config.port.number);
  EXPECT_TRUE(CheckFields(UsbPro("\\\\.\\COM256")).Ok());

  // A port typed for a network protocol is not written: the libraries would refuse it.
  SettingsFields sacn = DefaultFields();
  sacn[Field::Port] = "COM3";
  EXPECT_EQ(std::string::npos, ComposeSettingsText(sacn).find("Port")) << ComposeSettingsText(sacn);
  EXPECT_TRUE(CheckFields(sacn).Ok());
}

TEST(SettingsForm, ABadPortIsNamedAtThePortFieldInTheParsersWords) {
  for (const char* port : {"COM0", "COM257", "Drucker", "", "COM03"}) {
    const FieldsCheck check = CheckFields(UsbPro(port));
    EXPECT_FALSE(check.Ok()) << port;
    EXPECT_EQ(Field::Port, check.field) << port << ": " << check.message;
    const std::string text = ComposeSettingsText(UsbPro(port));
    EXPECT_EQ(FieldMessage(net::ParseNetworkConfig(text.data(), text.size())), check.message) << port;
  }
}

TEST(SettingsForm, AUsbProFileReadsBackItsProtocolAndPort) {
  const std::string text = "[Output]\r\nProtocol = usb-pro\r\nPort = \\\\.\\COM12\r\n";
  const SettingsFields f = ReadFields(text.data(), text.size());
  EXPECT_EQ("usb-pro", f[Field::Protocol]);
  EXPECT_EQ("\\\\.\\COM12", f[Field::Port]);
  EXPECT_EQ("", DefaultFields()[Field::Port]);
}

}  // namespace
}  // namespace selvane::netsettings
