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

  bool OutDmx60(uint8_t index, uint8_t level, uint32_t& r) override {
    return Handle({Entry::Dmx60, index, level, nullptr, 0}, r);
  }
  bool OutDmx120(uint8_t index, uint8_t level, uint32_t& r) override {
    return Handle({Entry::Dmx120, index, level, nullptr, 0}, r);
  }
  bool SetLevel510(const uint8_t* first, int32_t count, uint32_t& r) override {
    return Handle({Entry::Dmx510, -1, -1, first, count}, r);
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
