#include "network_config.h"

#include <cstdio>
#include <cstring>

namespace selvane::net {
namespace {

struct Text {
  const char* data;
  size_t size;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

Text Trim(Text t) {
  while (t.size > 0 && IsBlank(t.data[0])) ++t.data, --t.size;
  while (t.size > 0 && IsBlank(t.data[t.size - 1])) --t.size;
  return t;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(Text t, const char* word) {
  const size_t n = std::strlen(word);
  if (t.size != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(t.data[i]) != Lower(word[i])) return false;
  return true;
}

// Whole decimal numbers only; false on anything else or above `max`.
bool ParseNumber(Text t, uint32_t max, uint32_t& value) {
  if (t.size == 0) return false;
  uint32_t v = 0;
  for (size_t i = 0; i < t.size; ++i) {
    const char c = t.data[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
    if (v > max) {
      value = max + 1;
      return true;  // a number, but out of range
    }
  }
  value = v;
  return true;
}

bool ValidUtf8(Text t) {
  size_t i = 0;
  while (i < t.size) {
    const auto c = static_cast<unsigned char>(t.data[i]);
    size_t follow = 0;
    uint32_t min = 0, code = 0;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xe0) == 0xc0) follow = 1, min = 0x80, code = c & 0x1f;
    else if ((c & 0xf0) == 0xe0) follow = 2, min = 0x800, code = c & 0x0f;
    else if ((c & 0xf8) == 0xf0) follow = 3, min = 0x10000, code = c & 0x07;
    else return false;
    if (i + follow >= t.size) return false;
    for (size_t k = 1; k <= follow; ++k) {
      const auto d = static_cast<unsigned char>(t.data[i + k]);
      if ((d & 0xc0) != 0x80) return false;
      code = (code << 6) | (d & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    i += follow + 1;
  }
  return true;
}

enum Key { kProtocol, kDestination, kUniverse, kPriority, kSourceName, kPort, kKeyCount };
constexpr const char* kKeyNames[kKeyCount] = {"Protocol", "Destination", "Universe", "Priority", "SourceName", "Port"};

ConfigResult Problem(ConfigResult r, ConfigProblem problem, int key, int line) {
  r.problem = problem;
  if (key >= 0) std::snprintf(r.key, sizeof r.key, "%s", kKeyNames[key]);
  r.line = line;
  return r;
}

}  // namespace

bool ParseIpv4(const char* text, size_t size, uint32_t& address) {
  uint32_t result = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= size || text[i] != '.') return false;
      ++i;
    }
    size_t digits = 0;
    uint32_t value = 0;
    while (i < size && text[i] >= '0' && text[i] <= '9' && digits < 3) {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
      ++i, ++digits;
    }
    if (digits == 0 || value > 255 || (digits > 1 && text[i - digits] == '0')) return false;
    result = (result << 8) | value;
  }
  if (i != size) return false;
  address = result;
  return true;
}

ConfigResult ParseNetworkConfig(const char* data, size_t size) {
  ConfigResult r;
  if (size > kMaxConfigFileBytes) return Problem(r, ConfigProblem::TooLarge, -1, 0);
  // UTF-16 has a byte-order mark or, in ASCII text, a zero beside every character.
  if ((size >= 2 && (std::memcmp(data, "\xFF\xFE", 2) == 0 || std::memcmp(data, "\xFE\xFF", 2) == 0)) ||
      std::memchr(data, 0, size))
    return Problem(r, ConfigProblem::NotUtf8, -1, 0);
  if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) data += 3, size -= 3;

  Text values[kKeyCount] = {};
  int lines[kKeyCount] = {};
  bool inOutput = false, sawOutput = false;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < size) {
    const char* start = data + pos;
    const void* nl = std::memchr(start, '\n', size - pos);
    const size_t length = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : size - pos;
    pos += length + 1;
    ++lineNumber;
    Text line{start, length};
    for (size_t i = 0; i < line.size; ++i) {
      if (line.data[i] == ';' || line.data[i] == '#') {
        line.size = i;
        break;
      }
    }
    line = Trim(line);
    if (line.size == 0) continue;
    if (line.data[0] == '[') {
      inOutput = line.data[line.size - 1] == ']' && EqualsNoCase(Trim({line.data + 1, line.size - 2}), "Output");
      sawOutput = sawOutput || inOutput;
      continue;
    }
    if (!inOutput) continue;  // other sections belong to other tools
    const void* eq = std::memchr(line.data, '=', line.size);
    if (!eq) return Problem(r, ConfigProblem::NotKeyValue, -1, lineNumber);
    const size_t nameSize = static_cast<size_t>(static_cast<const char*>(eq) - line.data);
    const Text name = Trim({line.data, nameSize});
    const Text value = Trim({line.data + nameSize + 1, line.size - nameSize - 1});
    int key = -1;
    for (int k = 0; k < kKeyCount; ++k)
      if (EqualsNoCase(name, kKeyNames[k])) key = k;
    if (key < 0) {
      r = Problem(r, ConfigProblem::UnknownKey, -1, lineNumber);
      std::snprintf(r.key, sizeof r.key, "%.*s", static_cast<int>(name.size < 15 ? name.size : 15), name.data);
      return r;
    }
    if (lines[key]) return Problem(r, ConfigProblem::RepeatedKey, key, lineNumber);
    values[key] = value;
    lines[key] = lineNumber;
  }
  if (!sawOutput) return Problem(r, ConfigProblem::NoOutputSection, -1, 0);

  NetworkConfig& c = r.config;
  if (lines[kProtocol]) {
    if (EqualsNoCase(values[kProtocol], "sACN")) c.protocol = Protocol::Sacn;
    else if (EqualsNoCase(values[kProtocol], "Art-Net")) c.protocol = Protocol::ArtNet;
    else if (EqualsNoCase(values[kProtocol], "USB-Pro")) c.protocol = Protocol::UsbPro;
    else return Problem(r, ConfigProblem::UnknownProtocol, kProtocol, lines[kProtocol]);
  }
  if (c.protocol == Protocol::UsbPro) {
    // The network keys mean nothing to a COM port: the first one named is refused.
    int first = -1;
    for (int k : {kDestination, kUniverse, kPriority, kSourceName})
      if (lines[k] && (first < 0 || lines[k] < lines[first])) first = k;
    if (first >= 0) return Problem(r, ConfigProblem::NotForUsbPro, first, lines[first]);
    if (values[kPort].size == 0) return Problem(r, ConfigProblem::UsbProWithoutPort, kPort, lines[kPort]);
    if (!ParseComPortName({values[kPort].data, values[kPort].size}, c.port))
      return Problem(r, ConfigProblem::BadPort, kPort, lines[kPort]);
    return r;
  }
  if (lines[kPort]) return Problem(r, ConfigProblem::PortNotForNetwork, kPort, lines[kPort]);
  const bool sacn = c.protocol == Protocol::Sacn;
  if (lines[kUniverse]) {
    uint32_t u = 0;
    if (!ParseNumber(values[kUniverse], 65535, u)) return Problem(r, ConfigProblem::UniverseNotNumber, kUniverse, lines[kUniverse]);
    if (sacn ? (u < 1 || u > 63999) : u > kArtNetMaxPortAddress)
      return Problem(r, ConfigProblem::UniverseOutOfRange, kUniverse, lines[kUniverse]);
    c.universe = static_cast<uint16_t>(u);
  }
  if (sacn && lines[kPriority]) {
    uint32_t p = 0;
    if (!ParseNumber(values[kPriority], 255, p)) return Problem(r, ConfigProblem::PriorityNotNumber, kPriority, lines[kPriority]);
    if (p > 200) return Problem(r, ConfigProblem::PriorityOutOfRange, kPriority, lines[kPriority]);
    c.priority = static_cast<uint8_t>(p);
  }
  if (sacn && lines[kSourceName]) {
    const Text name = values[kSourceName];
    if (name.size > kSourceNameBytes - 1) return Problem(r, ConfigProblem::SourceNameTooLong, kSourceName, lines[kSourceName]);
    if (!ValidUtf8(name)) return Problem(r, ConfigProblem::SourceNameNotUtf8, kSourceName, lines[kSourceName]);
    std::memset(c.sourceName, 0, sizeof c.sourceName);
    std::memcpy(c.sourceName, name.data, name.size);
  }
  if (values[kDestination].size > 0) {
    uint32_t address = 0;
    if (!ParseIpv4(values[kDestination].data, values[kDestination].size, address) || address == 0)
      return Problem(r, ConfigProblem::BadDestination, kDestination, lines[kDestination]);
    c.hasDestination = true;
    c.destination = address;
  } else if (!sacn) {
    return Problem(r, ConfigProblem::ArtNetWithoutDestination, kDestination, lines[kDestination]);
  }
  return r;
}

void DescribeConfigProblem(const ConfigResult& r, char* out, size_t capacity) {
  if (capacity == 0) return;
  const char* what = "";
  switch (r.problem) {
    case ConfigProblem::None: what = "the configuration is in use"; break;
    case ConfigProblem::NoFile: what = "the file is missing: put Selvane.network.ini beside the interface library"; break;
    case ConfigProblem::Unreadable: what = "the file cannot be read"; break;
    case ConfigProblem::TooLarge: what = "the file is larger than 16 KiB"; break;
    case ConfigProblem::NotUtf8: what = "the file is not UTF-8: save it as UTF-8"; break;
    case ConfigProblem::NoOutputSection: what = "there is no [Output] section"; break;
    case ConfigProblem::NotKeyValue: what = "this line is not of the form Name = value"; break;
    case ConfigProblem::UnknownKey:
      what = "unknown name: use Protocol, Destination, Universe, Priority, SourceName or Port";
      break;
    case ConfigProblem::RepeatedKey: what = "given twice"; break;
    case ConfigProblem::UnknownProtocol: what = "unknown protocol: use sACN, Art-Net or USB-Pro"; break;
    case ConfigProblem::UniverseNotNumber: what = "not a whole number"; break;
    case ConfigProblem::UniverseOutOfRange:
      what = r.config.protocol == Protocol::ArtNet ? "out of range: an Art-Net port-address is 0 to 32767"
                                                   : "out of range: sACN universes are 1 to 63999";
      break;
    case ConfigProblem::PriorityNotNumber: what = "not a whole number"; break;
    case ConfigProblem::PriorityOutOfRange: what = "out of range: the sACN priority is 0 to 200"; break;
    case ConfigProblem::SourceNameTooLong: what = "longer than 63 bytes in UTF-8"; break;
    case ConfigProblem::SourceNameNotUtf8: what = "not valid UTF-8: save the file as UTF-8"; break;
    case ConfigProblem::BadDestination:
      what = "not an IPv4 address such as 192.168.1.20, written without leading zeros";
      break;
    case ConfigProblem::ArtNetWithoutDestination:
      what = "Art-Net needs a Destination: the node's address, or a broadcast address such as 2.255.255.255";
      break;
    case ConfigProblem::UsbProWithoutPort: what = "USB-Pro needs a Port: the interface's COM port, such as COM3"; break;
    case ConfigProblem::BadPort: what = "not a COM port: use COM1 to COM256, such as COM3"; break;
    case ConfigProblem::NotForUsbPro: what = "does not apply to USB-Pro: remove it (USB-Pro takes only Port)"; break;
    case ConfigProblem::PortNotForNetwork: what = "Port is for USB-Pro only: remove it, or set Protocol = USB-Pro"; break;
  }
  if (r.key[0] && r.line) std::snprintf(out, capacity, "line %d, %s: %s", r.line, r.key, what);
  else if (r.key[0]) std::snprintf(out, capacity, "%s: %s", r.key, what);
  else if (r.line) std::snprintf(out, capacity, "line %d: %s", r.line, what);
  else std::snprintf(out, capacity, "%s", what);
}

}  // namespace selvane::net
