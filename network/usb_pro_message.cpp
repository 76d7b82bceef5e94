#include "usb_pro_message.h"

#include <cstring>

namespace selvane::net::usbpro {
namespace {

void FrameMessage(uint8_t label, size_t dataLength, uint8_t* message) {
  message[kHeader[kStart].offset] = kStartDelimiter;
  message[kHeader[kLabel].offset] = label;
  message[kHeader[kLength].offset] = static_cast<uint8_t>(dataLength & 0xff);  // the protocol's low byte first
  message[kHeader[kLength].offset + 1] = static_cast<uint8_t>(dataLength >> 8);
  message[kDataOffset + dataLength] = kEndDelimiter;
}

}  // namespace

void BuildDmxMessage(const uint8_t* levels, size_t count, uint8_t (&message)[kDmxMessageSize]) {
  FrameMessage(kLabelSendDmx, kDmxData.Size(), message);
  uint8_t* data = message + kDataOffset;
  data[kDmxData[kDmxStartCode].offset] = 0;  // DMX512's null start code: levels follow
  uint8_t* slots = data + kDmxData[kDmxSlots].offset;
  const size_t slotCount = kDmxSizes[kDmxSlots];
  const size_t used = levels ? (count < slotCount ? count : slotCount) : 0;
  if (used > 0) std::memcpy(slots, levels, used);
  std::memset(slots + used, 0, slotCount - used);
}

void BuildSerialNumberRequest(uint8_t (&message)[kSerialRequestSize]) {
  FrameMessage(kLabelSerialNumber, 0, message);
}

void MessageReader::Discard(uint8_t byte) {
  // Everything of the message so far goes; a start delimiter may begin the next.
  discarded_ += taken_;
  taken_ = 0;
  state_ = State::kStart;
  Push(byte);
}

bool MessageReader::Push(uint8_t byte) {
  switch (state_) {
    case State::kStart:
      if (byte != kStartDelimiter) {
        ++discarded_;
        return false;
      }
      state_ = State::kLabel;
      break;
    case State::kLabel:
      label_ = byte;
      state_ = State::kLengthLow;
      break;
    case State::kLengthLow:
      length_ = byte;
      state_ = State::kLengthHigh;
      break;
    case State::kLengthHigh:
      length_ |= static_cast<size_t>(byte) << 8;
      if (length_ > kMaxDataLength) {
        Discard(byte);
        return false;
      }
      received_ = 0;
      state_ = length_ == 0 ? State::kEnd : State::kData;
      break;
    case State::kData:
      data_[received_++] = byte;
      if (received_ == length_) state_ = State::kEnd;
      break;
    case State::kEnd:
      if (byte != kEndDelimiter) {
        Discard(byte);
        return false;
      }
      state_ = State::kStart;
      taken_ = 0;
      return true;
  }
  ++taken_;
  return false;
}

bool DecodeSerialNumber(const uint8_t* data, size_t length, uint32_t& serial) {
  if (!data || length != kSerialReplyDataLength) return false;
  uint32_t value = 0;
  for (size_t i = length; i-- > 0;) {
    const uint8_t high = data[i] >> 4, low = data[i] & 0x0f;
    if (high > 9 || low > 9) return false;
    value = value * 100 + high * 10 + low;
  }
  serial = value;
  return true;
}

}  // namespace selvane::net::usbpro
