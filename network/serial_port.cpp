#include "serial_port.h"

#include <cstring>

namespace selvane::net {
namespace {

// The timer ticks every 45 ms, and a stalled interface may hold a tick for
// 20 ms at most: the timeout, and a margin for the call around it.
constexpr DWORD kWriteTimeoutMs = 15;
constexpr ULONGLONG kReopenIntervalMs = 1000;
// How long after opening an answer to the serial number request is looked for.
constexpr ULONGLONG kAnswerWaitMs = 1000;
// The widget's line on a real serial link; a virtual COM port accepts and ignores it.
constexpr DWORD kBaudRate = 250000;

SerialPort::Fault OpenFault(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return SerialPort::Fault::kNotThere;
    case ERROR_ACCESS_DENIED:      // Windows' serial drivers: opened by another program
    case ERROR_SHARING_VIOLATION:  // Wine: the same
      return SerialPort::Fault::kHeldElsewhere;
    default:
      return SerialPort::Fault::kOpenFailed;
  }
}

bool SetLine(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return false;
  dcb.BaudRate = kBaudRate;
  dcb.ByteSize = 8;
  dcb.StopBits = TWOSTOPBITS;
  dcb.Parity = NOPARITY;
  dcb.fParity = FALSE;
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;  // else every line error stops writes until ClearCommError
  if (!SetCommState(port, &dcb)) return false;
  // Reads return at once with what is there; writes give up after the timeout.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  return SetCommTimeouts(port, &timeouts) != FALSE;
}

}  // namespace

DWORD SerialPort::Open(const ComPortName& port) {
  Close();
  port_ = port;
  return TryOpen(GetTickCount64());
}

DWORD SerialPort::TryOpen(ULONGLONG now) {
  lastOpenAttempt_ = now;
  ++openAttempts_;
  const HANDLE opened = CreateFileW(port_.device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return Fail(error, OpenFault(error));
  }
  handle_.reset(opened);
  if (!SetLine(opened)) return Fail(GetLastError(), Fault::kOpenFailed);
  PurgeComm(opened, PURGE_TXCLEAR | PURGE_RXCLEAR);  // nothing of an earlier program's output

  reader_ = usbpro::MessageReader{};
  serialNumber_ = 0;
  answerDeadline_ = now + kAnswerWaitMs;
  uint8_t request[usbpro::kSerialRequestSize];
  usbpro::BuildSerialNumberRequest(request);
  size_t written = 0;
  if (!Write(request, sizeof request, written)) return lastError_;
  if (written < sizeof request) {
    restSize_ = sizeof request - written;
    std::memcpy(rest_, request + written, restSize_);
  }
  lastError_ = 0;
  fault_ = Fault::kNone;
  return 0;
}

DWORD SerialPort::Fail(DWORD error, Fault fault) {
  handle_.reset();
  restSize_ = 0;
  lastError_ = error;
  fault_ = fault;
  return error;
}

void SerialPort::Close() {
  // A cut message left in the stream would swallow the next program's first
  // one: one more try, within the timeout, to finish it.
  size_t written = 0;
  if (handle_ && restSize_ > 0) Write(rest_, restSize_, written);
  Fail(ERROR_NOT_READY, Fault::kClosed);
  port_ = ComPortName{};
}

bool SerialPort::Write(const uint8_t* bytes, size_t size, size_t& written) {
  DWORD done = 0;
  if (!WriteFile(handle_.get(), bytes, static_cast<DWORD>(size), &done, nullptr)) {
    Fail(GetLastError(), Fault::kWriteFailed);
    return false;
  }
  written = done;
  return true;
}

void SerialPort::PickUpAnswer(ULONGLONG now) {
  if (serialNumber_ != 0 || now >= answerDeadline_) return;
  uint8_t bytes[64];
  DWORD got = 0;
  if (!ReadFile(handle_.get(), bytes, sizeof bytes, &got, nullptr)) return;  // the write will tell
  for (DWORD i = 0; i < got; ++i) {
    uint32_t serial = 0;
    if (reader_.Push(bytes[i]) && reader_.Label() == usbpro::kLabelSerialNumber &&
        usbpro::DecodeSerialNumber(reader_.Data(), reader_.DataLength(), serial)) {
      serialNumber_ = serial;
    }
  }
}

SendResult SerialPort::Send(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0 || size > sizeof rest_) {
    lastError_ = ERROR_INVALID_PARAMETER;
    return SendResult::kFailed;
  }
  const ULONGLONG now = GetTickCount64();
  if (!handle_) {
    if (port_.number == 0 || now - lastOpenAttempt_ < kReopenIntervalMs) return SendResult::kFailed;
    if (TryOpen(now) != 0) return SendResult::kFailed;
  }
  PickUpAnswer(now);

  size_t written = 0;
  if (restSize_ > 0) {
    // The rest of a message cut by the timeout goes first; this one is skipped.
    if (!Write(rest_, restSize_, written)) return SendResult::kFailed;
    restSize_ -= written;
    std::memmove(rest_, rest_ + written, restSize_);
    return SendResult::kSkipped;
  }
  if (!Write(bytes, size, written)) return SendResult::kFailed;
  if (written == 0) return SendResult::kSkipped;
  restSize_ = size - written;
  std::memcpy(rest_, bytes + written, restSize_);
  return SendResult::kSent;
}

}  // namespace selvane::net
