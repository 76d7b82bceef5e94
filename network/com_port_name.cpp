#include "com_port_name.h"

namespace selvane::net {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace

bool ParseComPortName(std::string_view text, ComPortName& port) {
  if (text.substr(0, kDevicePrefix.size()) == kDevicePrefix) text.remove_prefix(kDevicePrefix.size());
  if (text.size() < 4 || text.size() > 6 || !EqualsIgnoringCase(text.substr(0, 3), "COM")) return false;
  const std::string_view digits = text.substr(3);
  if (digits[0] == '0') return false;
  unsigned number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number < kFirstComPort || number > kLastComPort) return false;

  port.number = number;
  size_t at = 0;
  for (const char c : kDevicePrefix) port.device[at++] = static_cast<wchar_t>(c);
  for (const char c : std::string_view("COM")) port.device[at++] = static_cast<wchar_t>(c);
  for (const char c : digits) port.device[at++] = static_cast<wchar_t>(c);
  port.device[at] = 0;
  return true;
}

}  // namespace selvane::net
