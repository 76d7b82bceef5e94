#pragma once
// Selvane.network.ini: what the network interface libraries send, and where.
//   [Output]
//   Protocol = sACN          ; sACN or Art-Net (any case)
//   Destination =            ; an IPv4 address; empty for sACN: the universe's multicast group
//   Universe = 1             ; sACN: 1 to 63999; Art-Net: the port-address, 0 to 32767
//   Priority = 100           ; sACN only: 0 to 200
//   SourceName = Selvane     ; sACN only: at most 63 bytes in UTF-8
// or, for a "DMX USB Pro" interface on a COM port:
//   Protocol = USB-Pro
//   Port = COM3              ; COM1 to COM256, also written \\.\COM3
// Plain C++ without allocation, so the libraries can use it inside a tick.
#include <cstddef>
#include <cstdint>

#include "artnet_packet.h"
#include "com_port_name.h"
#include "e131_packet.h"
#include "sequence_counters.h"

namespace selvane::net {

inline constexpr size_t kMaxConfigFileBytes = 16 * 1024;

struct NetworkConfig {
  Protocol protocol = Protocol::Sacn;
  bool hasDestination = false;
  uint32_t destination = 0;  // IPv4, host byte order
  uint16_t universe = 1;
  uint8_t priority = 100;
  char sourceName[kSourceNameBytes] = "Selvane";
  ComPortName port;  // USB-Pro only
};

enum class ConfigProblem {
  None,
  NoFile,            // reported by the caller that reads the file
  Unreadable,        // likewise
  TooLarge,
  NotUtf8,           // UTF-16, as Notepad's "Unicode" saves
  NoOutputSection,
  NotKeyValue,       // a line in [Output] without '='
  UnknownKey,
  RepeatedKey,
  UnknownProtocol,
  UniverseNotNumber,
  UniverseOutOfRange,
  PriorityNotNumber,
  PriorityOutOfRange,
  SourceNameTooLong,
  SourceNameNotUtf8,
  BadDestination,
  ArtNetWithoutDestination,
  UsbProWithoutPort,
  BadPort,
  NotForUsbPro,      // Destination, Universe, Priority or SourceName with USB-Pro
  PortNotForNetwork, // Port with sACN or Art-Net
};

struct ConfigResult {
  ConfigProblem problem = ConfigProblem::None;
  char key[16] = "";  // the key the problem is about, if any
  int line = 0;       // 1-based line of that key, 0 when there is none
  NetworkConfig config;
  bool Ok() const { return problem == ConfigProblem::None; }
};

ConfigResult ParseNetworkConfig(const char* text, size_t size);

// The reason alone, in German (UTF-8), for a lighting user, e.g.
// "außerhalb des Bereichs: sACN-Universen sind 1 bis 63999".
const char* ConfigProblemReason(const ConfigResult& result);

// With the line and key: "Zeile 4, Universe: außerhalb des Bereichs: …".
// Always zero-terminated.
void DescribeConfigProblem(const ConfigResult& result, char* out, size_t capacity);

// A dotted-quad IPv4 address such as 192.168.1.20; host byte order. Parts
// with leading zeros are refused: Windows reads them as octal (010 is 8).
bool ParseIpv4(const char* text, size_t size, uint32_t& address);

}  // namespace selvane::net
