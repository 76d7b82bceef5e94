#pragma once
// What carries the engine's packets: a UDP socket, or (beside it) a serial
// port. The engine opens a transport when a configuration comes into use and
// hands it each frame's bytes; the transport says whether they went out.
// Plain C++; the engine's caller serialises the calls.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "network_config.h"

namespace selvane::net {

// Where a packet goes: an IPv4 address and UDP port. A transport with one
// fixed peer (a serial port named in the configuration) ignores it.
struct Destination {
  uint32_t address = 0;  // host byte order
  uint16_t port = 0;
};

enum class SendOutcome {
  Sent,
  Busy,    // the previous frame is still going out: this one is skipped, not queued
  Failed,  // LastError() says why; the next frame tries again
};

class Transport {
 public:
  // Makes the transport ready for `config` (a socket; the port it names).
  // Returns 0 or the system's error; a ready transport answers 0 at once.
  virtual int Open(const NetworkConfig& config) = 0;
  virtual SendOutcome Send(const uint8_t* bytes, size_t size, const Destination& to) = 0;
  virtual void Close() = 0;
  // The system's error of the last Open or Send that failed.
  virtual int LastError() const = 0;
  // For reports: what the transport is ("UDP socket") and whose error numbers
  // it gives ("Winsock error").
  virtual const char* Name() const = 0;
  virtual const char* ErrorName() const = 0;
  // The report of a failed Send, one sentence in German (UTF-8): what failed
  // and what happens now. By default where the packet went and the error.
  virtual void DescribeFailure(const Destination& to, char* out, size_t capacity) const {
    const uint32_t a = to.address;
    std::snprintf(out, capacity, "Senden an %u.%u.%u.%u:%u gescheitert (%s %d); die Ausgabe l\xC3\xA4uft weiter.",
                  a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255, to.port, ErrorName(), LastError());
  }

 protected:
  ~Transport() = default;
};

}  // namespace selvane::net
