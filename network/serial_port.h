#pragma once
// The COM port of a "DMX USB Pro" interface, as the output engine's transport:
// one whole message per call, never more than one in flight, and never a call
// that holds the caller longer than 20 ms.
//
// Plain writes with a write timeout rather than overlapped I/O: with
// overlapped writes the buffer must outlive the call and Close must cancel and
// wait for a write that a hung USB driver may never finish, which would hang
// the host's unload. A plain write returns by itself after the timeout; what
// it did not write is kept here and finished first on the next call, so the
// interface never sees half a message. The price, up to one timeout per tick,
// is paid only while the interface does not read.
//
// Not thread-safe: the engine calls it under its own lock.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "com_port_name.h"
#include "unique_any.h"
#include "usb_pro_message.h"

namespace selvane::net {

enum class SendResult : uint8_t {
  kSent,     // the message went whole, or went in part and its rest goes first on the next Send
  kSkipped,  // nothing of it went: the previous message's rest was still going, or the port took nothing
  kFailed,   // the port is closed: LastError() says why; Send opens it again, at most once a second
};

class SerialPort {
 public:
  // Why the port is closed.
  enum class Fault : uint8_t {
    kNone,
    kNotThere,       // no such port (an interface that is unplugged)
    kHeldElsewhere,  // another program has the port open
    kOpenFailed,     // the port refused its line settings or timeouts
    kWriteFailed,    // a write failed: the interface went away while in use
    kClosed,         // Close was called, or no port was named
  };

  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the port exclusively at 250000 baud, 8 data bits, 2 stop bits, no
  // parity, and asks the interface for its serial number. 0, or the Win32
  // error; the port is remembered either way, and Send tries it again.
  DWORD Open(const ComPortName& port);
  // Writes one whole message of at most usbpro::kMaxMessageSize bytes. While
  // the port is closed, tries to open it again when a second has passed
  // since the last try.
  SendResult Send(const uint8_t* bytes, size_t size);
  // Closes the port and forgets it: Send opens nothing until the next Open.
  // The rest of a cut message gets one more write (within the timeout) first.
  void Close();

  bool IsOpen() const { return static_cast<bool>(handle_); }
  // The port named at the last Open, 0 after Close.
  unsigned PortNumber() const { return port_.number; }
  // Bytes of a cut message still to go; while there are any, Send skips.
  size_t PendingBytes() const { return restSize_; }
  DWORD LastError() const { return lastError_; }
  Fault LastFault() const { return fault_; }
  // The interface's serial number once it answered, else 0 (an interface
  // that does not answer is no error).
  uint32_t SerialNumber() const { return serialNumber_; }
  // How often the port was opened or tried, for the status.
  uint32_t OpenAttempts() const { return openAttempts_; }

 private:
  DWORD TryOpen(ULONGLONG now);
  DWORD Fail(DWORD error, Fault fault);
  // One write of at most the timeout; false when it failed and the port closed.
  bool Write(const uint8_t* bytes, size_t size, size_t& written);
  // Takes what the interface has sent, without waiting, until it has told its serial number.
  void PickUpAnswer(ULONGLONG now);

  unique_handle handle_;
  ComPortName port_;
  DWORD lastError_ = ERROR_NOT_READY;
  Fault fault_ = Fault::kClosed;
  uint32_t serialNumber_ = 0;
  uint32_t openAttempts_ = 0;
  ULONGLONG lastOpenAttempt_ = 0;
  ULONGLONG answerDeadline_ = 0;
  // The rest of a message that a write timeout cut.
  size_t restSize_ = 0;
  uint8_t rest_[usbpro::kMaxMessageSize] = {};
  usbpro::MessageReader reader_;
};

}  // namespace selvane::net
