#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "transmit_tick.h"

// Records every vendor call of a tick; results and bind failures are scripted.
struct FakeVendorPort final : selvane::VendorPort {
  enum class Entry { Dmx60, Dmx120, Dmx510 };
  struct Call {
    Entry entry;
    int index;      // OutDMX index, or -1
    int level;      // OutDMX level, or -1
    const uint8_t* address;
    int32_t count;
  };

  std::vector<Call> calls;
  std::function<uint32_t(const Call&)> result = [](const Call&) { return 1u; };
  bool bindFails = false;
  int bindAttempts = 0;
  std::function<void()> duringCall;  // runs inside each call

  FakeVendorPort() { calls.reserve(4096); }

  bool OutDmx(selvane::InterfaceType type, const uint8_t* levels, int count, int16_t& active) override {
    const Entry entry = type == selvane::InterfaceType::Dmx120 ? Entry::Dmx120 : Entry::Dmx60;
    return selvane::SendEachChannel(levels, count, active, [&](uint8_t index, uint8_t level, uint32_t& r) {
      return Handle({entry, index, level, nullptr, 0}, r);
    });
  }
  bool SetLevel(const uint8_t* first, int32_t count, int16_t& active) override {
    uint32_t r = 0;
    if (!Handle({Entry::Dmx510, -1, -1, first, count}, r)) return false;
    active = selvane::LowWord(r);
    return true;
  }

 private:
  bool Handle(const Call& call, uint32_t& r) {
    ++bindAttempts;
    if (bindFails) return false;
    calls.push_back(call);
    if (duringCall) duringCall();
    r = result(call);
    return true;
  }
};
