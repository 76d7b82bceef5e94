// USB Pro messages against byte tables written from the widget API (1.44),
// and the port names a user may write.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "com_port_name.h"
#include "usb_pro_message.h"

namespace selvane::net {
namespace {

using usbpro::MessageReader;

TEST(UsbProMessage, DmxMessageMatchesTheProtocolByteForByte) {
  const uint8_t levels[3] = {0xff, 0x80, 0x01};
  uint8_t message[usbpro::kDmxMessageSize];
  std::memset(message, 0xcc, sizeof message);
  usbpro::BuildDmxMessage(levels, 3, message);
  // Start, label 6, length 513 = 0x0201 (LSB first), start code 0, the slots.
  const uint8_t head[] = {0x7e, 0x06, 0x01, 0x02, 0x00, 0xff, 0x80, 0x01};
  EXPECT_EQ(0, std::memcmp(message, head, sizeof head));
  for (size_t i = sizeof head; i < 517; ++i) ASSERT_EQ(0, message[i]) << i;
  EXPECT_EQ(0xe7, message[517]);
}

TEST(UsbProMessage, SlotsTakeTheLevelsUpTo512AndZerosAfter) {
  std::vector<uint8_t> levels(600);
  for (size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<uint8_t>(i * 7 + 3);
  uint8_t message[usbpro::kDmxMessageSize];
  for (const size_t count : {size_t{0}, size_t{64}, size_t{120}, size_t{509}, size_t{512}, size_t{600}}) {
    std::memset(message, 0xcc, sizeof message);
    usbpro::BuildDmxMessage(levels.data(), count, message);
    for (size_t slot = 0; slot < 512; ++slot) {
      ASSERT_EQ(slot < count ? levels[slot] : 0, message[5 + slot]) << count << " levels, slot " << slot + 1;
    }
    EXPECT_EQ(0xe7, message[517]) << count;
  }
  usbpro::BuildDmxMessage(nullptr, 509, message);  // no levels: a dark universe
  for (size_t i = 4; i < 517; ++i) ASSERT_EQ(0, message[i]) << i;
}

TEST(UsbProMessage, SerialNumberRequestIsAnEmptyLabel10) {
  uint8_t message[usbpro::kSerialRequestSize];
  usbpro::BuildSerialNumberRequest(message);
  const uint8_t expected[] = {0x7e, 0x0a, 0x00, 0x00, 0xe7};
  EXPECT_EQ(0, std::memcmp(message, expected, sizeof expected));
}

// Feeds a byte stream; returns each whole message as label and data.
std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Read(MessageReader& reader, const std::vector<uint8_t>& bytes) {
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> messages;
  for (const uint8_t b : bytes) {
    if (reader.Push(b)) messages.emplace_back(reader.Label(), std::vector<uint8_t>(reader.Data(), reader.Data() + reader.DataLength()));
  }
  return messages;
}

TEST(UsbProReader, SerialNumberReplyDecodesAsBcdLeastSignificantFirst) {
  MessageReader reader;
  const auto messages = Read(reader, {0x7e, 0x0a, 0x04, 0x00, 0x78, 0x56, 0x34, 0x12, 0xe7});
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(usbpro::kLabelSerialNumber, messages[0].first);
  uint32_t serial = 0;
  ASSERT_TRUE(usbpro::DecodeSerialNumber(messages[0].second.data(), messages[0].second.size(), serial));
  EXPECT_EQ(12345678u, serial);
  EXPECT_EQ(0u, reader.DiscardedBytes());

  const uint8_t top[] = {0x99, 0x99, 0x99, 0x99}, notBcd[] = {0x0a, 0, 0, 0}, highNibble[] = {0, 0, 0, 0xa0};
  ASSERT_TRUE(usbpro::DecodeSerialNumber(top, 4, serial));
  EXPECT_EQ(99999999u, serial);
  EXPECT_FALSE(usbpro::DecodeSerialNumber(notBcd, 4, serial));
  EXPECT_FALSE(usbpro::DecodeSerialNumber(highNibble, 4, serial));
  EXPECT_FALSE(usbpro::DecodeSerialNumber(top, 3, serial));
  EXPECT_FALSE(usbpro::DecodeSerialNumber(nullptr, 4, serial));
}

TEST(UsbProReader, ReadsBackWhatTheBuilderWrites) {
  MessageReader reader;
  const uint8_t levels[2] = {10, 20};
  uint8_t dmx[usbpro::kDmxMessageSize];
  usbpro::BuildDmxMessage(levels, 2, dmx);
  const auto messages = Read(reader, std::vector<uint8_t>(dmx, dmx + sizeof dmx));
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(usbpro::kLabelSendDmx, messages[0].first);
  ASSERT_EQ(513u, messages[0].second.size());
  EXPECT_EQ(0, messages[0].second[0]);
  EXPECT_EQ(10, messages[0].second[1]);
  EXPECT_EQ(20, messages[0].second[2]);
}

TEST(UsbProReader, CountsWhatItDiscardsAndFindsTheNextGoodStart) {
  const std::vector<uint8_t> good = {0x7e, 0x0a, 0x01, 0x00, 0x42, 0xe7};
  struct Case {
    const char* what;
    std::vector<uint8_t> before;
    size_t discarded;
  } cases[] = {
      {"noise before the start", {0x00, 0xe7, 0x13}, 3},
      {"a length over 600", {0x7e, 0x06, 0x59, 0x02}, 4},
      {"a wrong end byte", {0x7e, 0x0a, 0x00, 0x00, 0x00}, 5},
  };
  for (const Case& c : cases) {
    MessageReader reader;
    std::vector<uint8_t> stream = c.before;
    stream.insert(stream.end(), good.begin(), good.end());
    const auto messages = Read(reader, stream);
    ASSERT_EQ(1u, messages.size()) << c.what;
    EXPECT_EQ(std::vector<uint8_t>{0x42}, messages[0].second) << c.what;
    EXPECT_EQ(c.discarded, reader.DiscardedBytes()) << c.what;
  }
  // A message cut by the next one's start: the start delimiter in the end
  // byte's place begins the next message.
  MessageReader reader;
  std::vector<uint8_t> stream = {0x7e, 0x0a, 0x01, 0x00, 0x42};
  stream.insert(stream.end(), good.begin(), good.end());
  EXPECT_EQ(1u, Read(reader, stream).size());
  EXPECT_EQ(5u, reader.DiscardedBytes());
  // A message cut short inside its data, as a write that stopped part-way
  // leaves it: it swallows the next message too, which is why a sender must
  // never leave half a message in the stream.
  MessageReader cut;
  stream = {0x7e, 0x06, 0x03, 0x00, 0x00, 0x01};
  stream.insert(stream.end(), good.begin(), good.end());
  stream.insert(stream.end(), good.begin(), good.end());
  EXPECT_EQ(1u, Read(cut, stream).size());
  EXPECT_EQ(12u, cut.DiscardedBytes());
}

TEST(UsbProReader, TakesTheLongestAndShortestMessages) {
  std::vector<uint8_t> stream = {0x7e, 0x03, 0x58, 0x02};  // 600 bytes of data
  stream.insert(stream.end(), 600, 0xe7);
  stream.push_back(0xe7);
  stream.insert(stream.end(), {0x7e, 0x0a, 0x00, 0x00, 0xe7});
  MessageReader reader;
  const auto messages = Read(reader, stream);
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(600u, messages[0].second.size());
  EXPECT_TRUE(messages[1].second.empty());
  EXPECT_EQ(0u, reader.DiscardedBytes());
}

std::wstring Device(const char* text) {
  ComPortName port;
  if (!ParseComPortName(text, port)) return L"refused";
  return std::wstring(port.device) + L" " + std::to_wstring(port.number);
}

TEST(ComPortName, AcceptsCom1ToCom256InAnyCaseWithOrWithoutTheDevicePrefix) {
  EXPECT_EQ(L"\\\\.\\COM1 1", Device("COM1"));
  EXPECT_EQ(L"\\\\.\\COM3 3", Device("com3"));
  EXPECT_EQ(L"\\\\.\\COM12 12", Device("\\\\.\\COM12"));
  EXPECT_EQ(L"\\\\.\\COM99 99", Device("\\\\.\\cOm99"));
  EXPECT_EQ(L"\\\\.\\COM256 256", Device("Com256"));
}

TEST(ComPortName, RefusesWhatIsNoPortOneToTwoHundredFiftySix) {
  for (const char* text : {"", "COM", "COM0", "COM257", "COM1000", "COM4294967297", "COM03", "COM-1", "COM+1",
                           "COM 3", " COM3", "COM3 ", "COM3:", "LPT1", "CON3", "\\\\.\\", "\\\\?\\COM3", "\\\\.\\\\.\\COM3",
                           "COMx", "C0M3", "3"}) {
    EXPECT_EQ(L"refused", Device(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace selvane::net
