#pragma once
// The engine's transport for a "DMX USB Pro" interface: the COM port that the
// configuration names. A port that is not there or that another program holds
// does not stop the configuration from being used: the frames fail, the
// engine reports that once, and the port is tried again at most once a
// second, so output resumes by itself when the interface is back.
#include "serial_port.h"
#include "transport.h"

namespace selvane::net {

class SerialTransport final : public Transport {
 public:
  // Always 0: whether the port opens shows in Send.
  int Open(const NetworkConfig& config) override;
  SendOutcome Send(const uint8_t* bytes, size_t size, const Destination& to) override;
  void Close() override { port_.Close(); }
  int LastError() const override { return static_cast<int>(outageError_); }
  const char* Name() const override { return "COM-Port"; }
  const char* ErrorName() const override { return "Windows-Fehler"; }
  void DescribeFailure(const Destination& to, char* out, size_t capacity) const override;

  const SerialPort& Port() const { return port_; }
  // The interface's serial number the first time it is known after an
  // opening, for one line in the log; else 0.
  uint32_t NewSerialNumber();

 private:
  SerialPort port_;
  // The first error of an outage of one kind: unplugged (a failed write,
  // then "not there" at each try) is one outage, one report.
  SerialPort::Fault outageFault_ = SerialPort::Fault::kNone;
  DWORD outageError_ = 0;
  bool serialTold_ = false;
};

}  // namespace selvane::net
