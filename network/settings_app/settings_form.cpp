#include "settings_form.h"

#include <cstring>
#include <string_view>


namespace selvane::netsettings {
namespace {

// The file's key names, in the order a save writes them.
constexpr const char* kKeys[kFieldCount] = {"Protocol", "Destination", "Universe", "Priority", "SourceName", "Port"};

std::string_view Trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

Field FieldOfKey(const char* key) {
  for (int k = 0; k < kFieldCount; ++k)
    if (SameNoCase(key, kKeys[k])) return static_cast<Field>(k);
  return Field::None;
}

bool IsUsbPro(const SettingsFields& fields) { return SameNoCase(Trimmed(fields[Field::Protocol]), "USB-Pro"); }

SettingsFields DefaultFields() {
  const net::NetworkConfig defaults;
  SettingsFields f;
  f[Field::Protocol] = defaults.protocol == net::Protocol::ArtNet ? "Art-Net" : "sACN";
  f[Field::Universe] = std::to_string(defaults.universe);
  f[Field::Priority] = std::to_string(defaults.priority);
  f[Field::SourceName] = defaults.sourceName;
  return f;
}

SettingsFields ReadFields(const char* text, size_t size) {
  SettingsFields f = DefaultFields();
  std::string_view rest(text, size);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  bool inOutput = false;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    line = Trimmed(line.substr(0, line.find_first_of(";#")));
    if (line.starts_with('[')) {
      inOutput = line.ends_with(']') && SameNoCase(Trimmed(line.substr(1, line.size() - 2)), "Output");
    } else if (const size_t eq = line.find('='); inOutput && eq != std::string_view::npos) {
      const Field field = FieldOfKey(std::string(Trimmed(line.substr(0, eq))).c_str());
      if (field != Field::None) f[field] = Trimmed(line.substr(eq + 1));
    }
  }
  return f;
}

std::string ComposeSettingsText(const SettingsFields& fields) {
  std::string text =
      "; Selvane Netzwerk: die Einstellungen der Netzwerk-Ausgabe (sACN, Art-Net, USB-Pro).\r\n"
      "; Geschrieben von Selvane-Netzwerk.exe, das die Datei beim Speichern ganz neu schreibt.\r\n"
      "[Output]\r\n";
  // The libraries refuse a key that does not apply to the protocol.
  const bool usbPro = IsUsbPro(fields);
  for (int k = 0; k < kFieldCount; ++k) {
    if ((k == static_cast<int>(Field::Port)) != usbPro && k != static_cast<int>(Field::Protocol)) continue;
    text += kKeys[k];
    text += " = ";
    text += fields.values[k];
    text += "\r\n";
  }
  return text;
}

std::string FieldMessage(const net::ConfigResult& result) {
  std::string message = net::ConfigProblemReason(result);
  if (!message.empty() && message[0] >= 'a' && message[0] <= 'z') message[0] = static_cast<char>(message[0] - 32);
  return message;
}

FieldsCheck CheckFields(const SettingsFields& fields) {
  FieldsCheck check;
  const std::string text = ComposeSettingsText(fields);
  // The file cannot hold these in a value: they begin a comment there. Only
  // what a save writes counts: a field that does not apply is not checked.
  for (int k = 0; k < kFieldCount; ++k) {
    if (text.find(std::string("\n") + kKeys[k] + " = ") == std::string::npos) continue;
    if (fields.values[k].find_first_of(";#") != std::string::npos) {
      check.field = static_cast<Field>(k);
      check.message = "; und # sind hier nicht m\xC3\xB6glich (sie beginnen in der Datei einen Kommentar)";
      return check;
    }
  }
  const net::ConfigResult result = net::ParseNetworkConfig(text.data(), text.size());
  if (!result.Ok()) {
    check.field = FieldOfKey(result.key);
    check.message = FieldMessage(result);
    return check;
  }
  check.config = result.config;
  return check;
}

}  // namespace selvane::netsettings
