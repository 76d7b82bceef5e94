#pragma once
// Messages of the "DMX USB Pro" serial protocol (the widget API, version
// 1.44), which the widget and its many clones speak on a virtual COM port:
//   0x7E, label, data length (LSB, MSB), the data, 0xE7.
// Plain C++.
#include <cstddef>
#include <cstdint>

#include "packet_field.h"

namespace selvane::net::usbpro {

// The frame around every message's data: start delimiter, label, data length
// (least significant byte first), the data, end delimiter.
inline constexpr uint8_t kStartDelimiter = 0x7E;
inline constexpr uint8_t kEndDelimiter = 0xE7;
enum Field : size_t { kStart, kLabel, kLength, kFieldCount };
inline constexpr size_t kSizes[kFieldCount] = {1, 1, 2};
inline constexpr PacketLayout kHeader = LayoutOf(kSizes);
inline constexpr size_t kDataOffset = kHeader.Size();
inline constexpr size_t kEndSize = 1;
inline constexpr size_t kMaxDataLength = 600;
inline constexpr size_t MessageSize(size_t dataLength) { return kDataOffset + dataLength + kEndSize; }
inline constexpr size_t kMaxMessageSize = MessageSize(kMaxDataLength);

// Label 6, "Output Only Send DMX Packet Request": the DMX start code, then
// every slot of the universe.
inline constexpr uint8_t kLabelSendDmx = 6;
enum DmxField : size_t { kDmxStartCode, kDmxSlots, kDmxFieldCount };
inline constexpr size_t kDmxSizes[kDmxFieldCount] = {1, 512};
inline constexpr PacketLayout kDmxData = LayoutOf(kDmxSizes);
inline constexpr size_t kDmxMessageSize = MessageSize(kDmxData.Size());

// Label 10, "Get Widget Serial Number": asked with no data; the answer carries
// four bytes of BCD, least significant first.
inline constexpr uint8_t kLabelSerialNumber = 10;
inline constexpr size_t kSerialRequestSize = MessageSize(0);
inline constexpr size_t kSerialReplyDataLength = 4;

// The widget API's offsets and sizes.
static_assert(kHeader[kLabel].offset == 1 && kHeader[kLength].offset == 2 && kDataOffset == 4);
static_assert(kMaxMessageSize == 605 && kDmxData.Size() == 513 && kDmxMessageSize == 518);
static_assert(kSerialRequestSize == 5);

// `count` levels go into slots 1.., the rest of the 512 slots are 0; more
// than 512 levels are cut to 512.
void BuildDmxMessage(const uint8_t* levels, size_t count, uint8_t (&message)[kDmxMessageSize]);
void BuildSerialNumberRequest(uint8_t (&message)[kSerialRequestSize]);

// Reads the interface's byte stream one byte at a time, as the widget reads
// ours: a message is taken only whole, with a length the protocol allows and
// its end delimiter in place; anything else is counted as discarded, and
// reading starts again at the next start delimiter.
class MessageReader {
 public:
  // True when this byte completed a message: Label() and Data() hold it until
  // the next Push.
  bool Push(uint8_t byte);
  uint8_t Label() const { return label_; }
  const uint8_t* Data() const { return data_; }
  size_t DataLength() const { return length_; }
  uint32_t DiscardedBytes() const { return discarded_; }

 private:
  enum class State : uint8_t { kStart, kLabel, kLengthLow, kLengthHigh, kData, kEnd };
  void Discard(uint8_t byte);

  State state_ = State::kStart;
  uint8_t label_ = 0;
  size_t length_ = 0;
  size_t received_ = 0;
  uint32_t taken_ = 0;  // bytes of the message being read so far
  uint32_t discarded_ = 0;
  uint8_t data_[kMaxDataLength] = {};
};

// The serial number from a label-10 answer's data; false when the data is not
// four bytes of BCD.
bool DecodeSerialNumber(const uint8_t* data, size_t length, uint32_t& serial);

}  // namespace selvane::net::usbpro
