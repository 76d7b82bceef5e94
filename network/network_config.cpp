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

// UTF-8 written as escapes, whatever charset the compiler assumes for sources.
const char* ConfigProblemReason(const ConfigResult& r) {
  switch (r.problem) {
    case ConfigProblem::None: return "die Einstellungen sind in Kraft";
    case ConfigProblem::NoFile:
      return "es gibt keine Einstellungen, weder neben der Bibliothek noch hier: Selvane-Netzwerk.exe legt sie an";
    case ConfigProblem::Unreadable: return "die Datei kann nicht gelesen werden";
    case ConfigProblem::TooLarge: return "die Datei ist gr\xC3\xB6\xC3\x9F" "er als 16 KiB";
    case ConfigProblem::NotUtf8: return "die Datei ist kein UTF-8: als UTF-8 speichern";
    case ConfigProblem::NoOutputSection: return "es gibt keinen Abschnitt [Output]";
    case ConfigProblem::NotKeyValue: return "diese Zeile hat nicht die Form Name = Wert";
    case ConfigProblem::UnknownKey:
      return "unbekannter Name: erlaubt sind Protocol, Destination, Universe, Priority, SourceName und Port";
    case ConfigProblem::RepeatedKey: return "doppelt angegeben";
    case ConfigProblem::UnknownProtocol: return "unbekanntes Protokoll: sACN, Art-Net oder USB-Pro";
    case ConfigProblem::UniverseNotNumber:
    case ConfigProblem::PriorityNotNumber: return "keine ganze Zahl";
    case ConfigProblem::UniverseOutOfRange:
      return r.config.protocol == Protocol::ArtNet ? "au\xC3\x9F" "erhalb des Bereichs: die Art-Net-Port-Adresse ist 0 bis 32767"
                                                   : "au\xC3\x9F" "erhalb des Bereichs: sACN-Universen sind 1 bis 63999";
    case ConfigProblem::PriorityOutOfRange: return "au\xC3\x9F" "erhalb des Bereichs: die sACN-Priorit\xC3\xA4t ist 0 bis 200";
    case ConfigProblem::SourceNameTooLong: return "l\xC3\xA4nger als 63 Bytes in UTF-8";
    case ConfigProblem::SourceNameNotUtf8: return "kein g\xC3\xBCltiges UTF-8: die Datei als UTF-8 speichern";
    case ConfigProblem::BadDestination: return "keine IPv4-Adresse wie 192.168.1.20 (ohne f\xC3\xBChrende Nullen)";
    case ConfigProblem::ArtNetWithoutDestination:
      return "Art-Net braucht ein Ziel: die Adresse des Knotens oder eine Broadcast-Adresse wie 2.255.255.255";
    case ConfigProblem::UsbProWithoutPort: return "USB-Pro braucht einen Port: den COM-Port des Interfaces, etwa COM3";
    case ConfigProblem::BadPort: return "kein COM-Port: COM1 bis COM256, etwa COM3";
    case ConfigProblem::NotForUsbPro: return "gilt nicht f\xC3\xBCr USB-Pro: entfernen (USB-Pro braucht nur Port)";
    case ConfigProblem::PortNotForNetwork:
      return "Port gilt nur f\xC3\xBCr USB-Pro: entfernen oder Protocol = USB-Pro setzen";
  }
  return "";
}

void DescribeConfigProblem(const ConfigResult& r, char* out, size_t capacity) {
  if (capacity == 0) return;
  const char* what = ConfigProblemReason(r);
  if (r.key[0] && r.line) std::snprintf(out, capacity, "Zeile %d, %s: %s", r.line, r.key, what);
  else if (r.key[0]) std::snprintf(out, capacity, "%s: %s", r.key, what);
  else if (r.line) std::snprintf(out, capacity, "Zeile %d: %s", r.line, what);
  else std::snprintf(out, capacity, "%s", what);
}

}  // namespace selvane::net
