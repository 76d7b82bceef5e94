#include "serial_transport.h"

#include <cstdio>

namespace selvane::net {
namespace {

// An interface that went away while in use is, at the next try, not there.
SerialPort::Fault Kind(SerialPort::Fault fault) {
  return fault == SerialPort::Fault::kWriteFailed ? SerialPort::Fault::kNotThere : fault;
}

}  // namespace

int SerialTransport::Open(const NetworkConfig& config) {
  if (config.port.number != port_.PortNumber()) port_.Open(config.port);
  return 0;
}

SendOutcome SerialTransport::Send(const uint8_t* bytes, size_t size, const Destination&) {
  switch (port_.Send(bytes, size)) {
    case SendResult::kSent:
      outageFault_ = SerialPort::Fault::kNone;
      return SendOutcome::Sent;
    case SendResult::kSkipped:
      return SendOutcome::Busy;
    case SendResult::kFailed:
      break;
  }
  if (Kind(port_.LastFault()) != outageFault_) {
    outageFault_ = Kind(port_.LastFault());
    outageError_ = port_.LastError();
  }
  return SendOutcome::Failed;
}

uint32_t SerialTransport::NewSerialNumber() {
  const uint32_t serial = port_.SerialNumber();  // 0 again after each opening, until the answer
  if (serial == 0 || serialTold_) {
    serialTold_ = serial != 0;
    return 0;
  }
  serialTold_ = true;
  return serial;
}

void SerialTransport::DescribeFailure(const Destination&, char* out, size_t capacity) const {
  const unsigned port = port_.PortNumber();
  const int error = LastError();
  switch (outageFault_) {
    case SerialPort::Fault::kHeldElsewhere:
      std::snprintf(out, capacity,
                    "COM%u ist von einem anderen Programm belegt (Windows-Fehler %d); die Ausgabe l\xC3\xA4uft "
                    "wieder, sobald es COM%u freigibt (Versuch jede Sekunde).", port, error, port);
      return;
    case SerialPort::Fault::kOpenFailed:
      std::snprintf(out, capacity,
                    "COM%u nimmt die Einstellungen eines USB-Pro-Interfaces nicht an (Windows-Fehler %d); "
                    "Versuch jede Sekunde.", port, error);
      return;
    default:
      std::snprintf(out, capacity,
                    "kein USB-DMX-Interface an COM%u: ausgesteckt? (Windows-Fehler %d); die Ausgabe l\xC3\xA4uft "
                    "von selbst wieder, sobald es zur\xC3\xBC" "ck ist (Versuch jede Sekunde).", port, error);
      return;
  }
}

}  // namespace selvane::net
