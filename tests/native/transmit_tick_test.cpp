#include "transmit_tick.h"

#include <gtest/gtest.h>

#include "fake_vendor_port.h"
#include "interface_selector.h"

using selvane::DriverState;
using selvane::RunTick;
using Entry = FakeVendorPort::Entry;

namespace {

DriverState ActiveState(int32_t channelCount) {
  DriverState s{};
  s.OutputActive = -1;
  s.ChannelCount = channelCount;
  for (int i = 0; i < 510; ++i) s.ChannelBuffer[i] = static_cast<uint8_t>(i * 7 + 3);
  s.ChannelBuffer[509] = 0;
  return s;
}

void ExpectPerChannelFrame(const FakeVendorPort& vendor, size_t first, Entry entry, int channels,
                           const DriverState& s) {
  ASSERT_GE(vendor.calls.size(), first + channels);
  for (int i = 0; i < channels; ++i) {
    const auto& call = vendor.calls[first + i];
    EXPECT_EQ(call.entry, entry);
    EXPECT_EQ(call.index, i);
    EXPECT_EQ(call.level, s.ChannelBuffer[i]);
  }
}

}  // namespace

TEST(TransmitTick, Dmx120SendsChannels0To119InOrderEveryTick) {
  DriverState s = ActiveState(120);
  FakeVendorPort vendor;
  RunTick(s, vendor);
  RunTick(s, vendor);
  ASSERT_EQ(vendor.calls.size(), 240u);
  ExpectPerChannelFrame(vendor, 0, Entry::Dmx120, 120, s);
  ExpectPerChannelFrame(vendor, 120, Entry::Dmx120, 120, s);
  EXPECT_EQ(s.OutputActive, 1);
}

TEST(TransmitTick, EveryOtherSelectorValueActsAsDmx60) {
  for (int32_t selector : {64, 0, 512, -1, 121, 509, 511, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(selector);
    DriverState s = ActiveState(selector);
    FakeVendorPort vendor;
    RunTick(s, vendor);
    ASSERT_EQ(vendor.calls.size(), 64u);
    ExpectPerChannelFrame(vendor, 0, Entry::Dmx60, 64, s);
  }
}

TEST(TransmitTick, Dmx510UsbHandsOverTheBufferItselfWith509) {
  DriverState s = ActiveState(510);
  FakeVendorPort vendor;
  s.ChannelBuffer[4] = 200;
  vendor.duringCall = [&] {
    // The vendor sees the live buffer, not a copy, and entry 509 reads 0.
    EXPECT_EQ(vendor.calls.back().address[4], 200);
    EXPECT_EQ(vendor.calls.back().address[509], 0);
  };
  RunTick(s, vendor);
  RunTick(s, vendor);
  ASSERT_EQ(vendor.calls.size(), 2u);
  for (const auto& call : vendor.calls) {
    EXPECT_EQ(call.entry, Entry::Dmx510);
    EXPECT_EQ(call.address, &s.ChannelBuffer[0]);
    EXPECT_EQ(call.count, 509);
  }
}

TEST(TransmitTick, InactiveOutputSendsNothing) {
  for (int32_t selector : {64, 120, 510}) {
    DriverState s = ActiveState(selector);
    s.OutputActive = 0;
    FakeVendorPort vendor;
    RunTick(s, vendor);
    EXPECT_TRUE(vendor.calls.empty());
    EXPECT_EQ(vendor.bindAttempts, 0);
  }
}

TEST(TransmitTick, ZeroFromTheLastCallPausesAfterAFullTickUntilReenabled) {
  DriverState s = ActiveState(120);
  FakeVendorPort vendor;
  vendor.result = [](const FakeVendorPort::Call& c) { return c.index == 119 ? 0u : 1u; };
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 120u);
  EXPECT_EQ(s.OutputActive, 0);
  RunTick(s, vendor);
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 120u);
  s.OutputActive = -1;  // what Enable does
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 240u);
}

TEST(TransmitTick, ZeroMidLoopDoesNotStopTheLoopOrTheOutput) {
  DriverState s = ActiveState(120);
  FakeVendorPort vendor;
  vendor.result = [](const FakeVendorPort::Call& c) { return c.index == 5 ? 0u : 7u; };
  RunTick(s, vendor);
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 240u);
  EXPECT_EQ(s.OutputActive, 7);
}

TEST(TransmitTick, OnlyTheLowWordOfAResultIsKept) {
  struct Case { uint32_t raw; int16_t stored; };
  for (Case c : {Case{0x10000u, 0}, Case{0xFFFFFFFFu, -1}, Case{0x8000u, INT16_MIN},
                 Case{0x12340001u, 1}, Case{0xABCD0000u, 0}}) {
    for (int32_t selector : {64, 120, 510}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.raw << " selector " << std::dec << selector);
      DriverState s = ActiveState(selector);
      FakeVendorPort vendor;
      vendor.result = [&](const FakeVendorPort::Call&) { return c.raw; };
      RunTick(s, vendor);
      EXPECT_EQ(s.OutputActive, c.stored);
    }
  }
}

TEST(TransmitTick, ChannelCountIsReadOnceAtTheStartOfTheTick) {
  DriverState s = ActiveState(120);
  FakeVendorPort vendor;
  vendor.duringCall = [&] { s.ChannelCount = 510; };
  RunTick(s, vendor);
  ASSERT_EQ(vendor.calls.size(), 120u);
  ExpectPerChannelFrame(vendor, 0, Entry::Dmx120, 120, s);
  vendor.duringCall = nullptr;
  RunTick(s, vendor);  // the change takes effect on the next tick
  EXPECT_EQ(vendor.calls.back().entry, Entry::Dmx510);
}

TEST(TransmitTick, SwitchingTheInterfaceKeepsAndSendsEveryLevel) {
  DriverState s = ActiveState(64);
  FakeVendorPort vendor;
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 64u);  // entries 64..509 stay in the buffer unsent
  s.ChannelCount = 510;
  vendor.duringCall = [&] {
    for (int i = 0; i < 509; ++i) ASSERT_EQ(vendor.calls.back().address[i], static_cast<uint8_t>(i * 7 + 3));
  };
  RunTick(s, vendor);
  EXPECT_EQ(vendor.calls.size(), 65u);
}

TEST(TransmitTick, AMissingBindingPausesOutputAfterOneAttempt) {
  for (int32_t selector : {64, 120, 510}) {
    SCOPED_TRACE(selector);
    DriverState s = ActiveState(selector);
    FakeVendorPort vendor;
    vendor.bindFails = true;
    RunTick(s, vendor);
    EXPECT_EQ(vendor.bindAttempts, 1) << "no attempt per channel";
    EXPECT_EQ(s.OutputActive, 0);
    RunTick(s, vendor);
    EXPECT_EQ(vendor.bindAttempts, 1) << "no attempt on every tick while paused";

    vendor.bindFails = false;  // the library is back
    s.OutputActive = -1;       // Enable
    RunTick(s, vendor);
    EXPECT_EQ(s.OutputActive, 1);
    EXPECT_FALSE(vendor.calls.empty());
  }
}
