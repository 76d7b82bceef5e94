#pragma once
// The fields of "Selvane Netzwerk" and the settings file they stand for.
// Plain C++: the rules stay with the libraries' own parser, which checks the
// very text that a save would write.
#include <cstddef>
#include <string>

#include "network_config.h"

namespace selvane::netsettings {

enum class Field { Protocol, Destination, Universe, Priority, SourceName, Port, None };
inline constexpr int kFieldCount = 6;

// As typed, in UTF-8; Protocol is "sACN", "Art-Net" or "USB-Pro".
struct SettingsFields {
  std::string values[kFieldCount];
  std::string& operator[](Field f) { return values[static_cast<int>(f)]; }
  const std::string& operator[](Field f) const { return values[static_cast<int>(f)]; }
};

// What the libraries use when a key is missing: the example file's values.
SettingsFields DefaultFields();

// The protocol the libraries would read from the field, any case.
bool IsUsbPro(const SettingsFields& fields);

// The values of [Output] as far as they can be read, also from a file the
// libraries refuse; a key that is missing keeps its default.
SettingsFields ReadFields(const char* text, size_t size);

// The whole file a save writes: our comment lines, then the keys of the
// protocol in a fixed order (USB-Pro: Protocol and Port; else every other key).
std::string ComposeSettingsText(const SettingsFields& fields);

struct FieldsCheck {
  Field field = Field::None;  // the field the problem is about, None when all is well
  std::string message;        // German, UTF-8, beginning with a capital
  net::NetworkConfig config;  // what the libraries would use, when all is well
  bool Ok() const { return message.empty(); }
};

// Composes the file from the fields and parses it as the libraries would.
FieldsCheck CheckFields(const SettingsFields& fields);

// The field of a key of the file ("Universe"), or None.
Field FieldOfKey(const char* key);

// The libraries' reason for refusing, as the message beside its field.
std::string FieldMessage(const net::ConfigResult& result);

}  // namespace selvane::netsettings
