// Drives the serial port and the message builder against the emulated
// interface at the timer's 45 ms rhythm, as a host's ticks would, and writes
// one line per tick for check_usb_pro_run.py:
//   T <frame> <start ms> <duration ms> sent|skipped|failed <error> <fault> <bytes pending>
// then "S serial=<n> attempts=<n>", and "FAIL <why>" for each check of the
// port's opening that does not hold.
// Usage: usb_pro_port_run <COM number> <seconds> <log file> [checks]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "com_port_name.h"
#include "serial_port.h"
#include "usb_pro_message.h"

namespace {

using selvane::net::ComPortName;
using selvane::net::SendResult;
using selvane::net::SerialPort;
namespace usbpro = selvane::net::usbpro;

// The DMX-510USB's channel count: slots 510 to 512 stay 0.
constexpr size_t kChannels = 509;

double NowMs() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Frame k: its number in channels 1 and 2, a pattern of it after.
void Levels(unsigned k, uint8_t (&levels)[kChannels]) {
  levels[0] = static_cast<uint8_t>(k & 0xff);
  levels[1] = static_cast<uint8_t>(k >> 8);
  for (size_t i = 2; i < kChannels; ++i) levels[i] = static_cast<uint8_t>(k * 7 + i);
}

ComPortName Port(unsigned number) {
  ComPortName port;
  ParseComPortName("COM" + std::to_string(number), port);
  return port;
}

const char* ResultName(SendResult result) {
  switch (result) {
    case SendResult::kSent: return "sent";
    case SendResult::kSkipped: return "skipped";
    case SendResult::kFailed: return "failed";
  }
  return "?";
}

// Opening: a port that is not there, one that answers "access denied" (what
// Windows' serial drivers answer while another program has the port open;
// the test links COM<number + 2> to a folder, which gives the same error,
// because Wine itself does not keep a COM port exclusive), and no second try
// within the second.
void CheckOpening(unsigned number, FILE* log) {
  auto fail = [log](const char* why, DWORD error) { std::fprintf(log, "FAIL %s (error %lu)\n", why, error); };
  SerialPort port;
  if (port.Open(Port(number + 1)) != ERROR_FILE_NOT_FOUND || port.LastFault() != SerialPort::Fault::kNotThere)
    fail("a port that is not there must say so", port.LastError());
  const uint8_t message[usbpro::kSerialRequestSize] = {};
  if (port.Send(message, sizeof message) != SendResult::kFailed || port.OpenAttempts() != 1)
    fail("a failed port must not be tried again within the second", port.LastError());
  if (port.Open(Port(number + 2)) != ERROR_ACCESS_DENIED || port.LastFault() != SerialPort::Fault::kHeldElsewhere)
    fail("a port that another program holds must say so", port.LastError());

  if (port.Open(Port(number)) != 0) fail("the emulated port does not open", port.LastError());
  port.Close();
  if (port.IsOpen() || port.Send(message, sizeof message) != SendResult::kFailed ||
      port.LastFault() != SerialPort::Fault::kClosed)
    fail("a closed port must stay closed", port.LastError());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: usb_pro_port_run <COM number> <seconds> <log file> [checks]\n");
    return 2;
  }
  const unsigned number = static_cast<unsigned>(std::atoi(argv[1]));
  const double seconds = std::atof(argv[2]);
  FILE* log = std::fopen(argv[3], "w");
  if (!log) return 2;
  if (argc > 4 && std::string(argv[4]) == "checks") CheckOpening(number, log);

  SerialPort port;
  if (const DWORD error = port.Open(Port(number))) std::fprintf(log, "FAIL the port does not open (error %lu)\n", error);
  uint8_t levels[kChannels];
  uint8_t message[usbpro::kDmxMessageSize];
  const UINT_PTR timer = SetTimer(nullptr, 0, 45, nullptr);
  const double began = NowMs();
  unsigned frame = 0;
  MSG msg;
  while (NowMs() - began < seconds * 1000 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message != WM_TIMER) {
      DispatchMessageW(&msg);
      continue;
    }
    ++frame;
    const double start = NowMs();
    Levels(frame, levels);
    usbpro::BuildDmxMessage(levels, kChannels, message);
    const SendResult result = port.Send(message, sizeof message);
    const double duration = NowMs() - start;
    std::fprintf(log, "T %u %.2f %.2f %s %lu %d %u\n", frame, start - began, duration, ResultName(result),
                 result == SendResult::kFailed ? port.LastError() : 0ul, static_cast<int>(port.LastFault()),
                 static_cast<unsigned>(port.PendingBytes()));
  }
  KillTimer(nullptr, timer);
  std::fprintf(log, "S serial=%lu attempts=%lu\n", static_cast<unsigned long>(port.SerialNumber()),
               static_cast<unsigned long>(port.OpenAttempts()));
  port.Close();
  std::fclose(log);
  return 0;
}
