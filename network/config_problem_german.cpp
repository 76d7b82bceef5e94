#include "config_problem_german.h"

#include <cstdio>

namespace selvane::net {

// UTF-8 written as escapes, whatever charset the compiler assumes for sources.
const char* ConfigProblemReasonGerman(const ConfigResult& r) {
  switch (r.problem) {
    case ConfigProblem::None: return "die Einstellungen sind in Kraft";
    case ConfigProblem::NoFile: return "es gibt keine Einstellungsdatei";
    case ConfigProblem::Unreadable: return "die Datei kann nicht gelesen werden";
    case ConfigProblem::TooLarge: return "die Datei ist gr\xC3\xB6\xC3\x9F" "er als 16 KiB";
    case ConfigProblem::NoOutputSection: return "es gibt keinen Abschnitt [Output]";
    case ConfigProblem::NotKeyValue: return "diese Zeile hat nicht die Form Name = Wert";
    case ConfigProblem::UnknownKey:
      return "unbekannter Name: erlaubt sind Protocol, Destination, Universe, Priority und SourceName";
    case ConfigProblem::RepeatedKey: return "doppelt angegeben";
    case ConfigProblem::UnknownProtocol: return "unbekanntes Protokoll: sACN oder Art-Net";
    case ConfigProblem::UniverseNotNumber:
    case ConfigProblem::PriorityNotNumber: return "keine ganze Zahl";
    case ConfigProblem::UniverseOutOfRange:
      return r.config.protocol == Protocol::ArtNet ? "au\xC3\x9F" "erhalb des Bereichs: die Art-Net-Port-Adresse ist 0 bis 32767"
                                                   : "au\xC3\x9F" "erhalb des Bereichs: sACN-Universen sind 1 bis 63999";
    case ConfigProblem::PriorityOutOfRange: return "au\xC3\x9F" "erhalb des Bereichs: die sACN-Priorit\xC3\xA4t ist 0 bis 200";
    case ConfigProblem::SourceNameTooLong: return "l\xC3\xA4nger als 63 Bytes in UTF-8";
    case ConfigProblem::SourceNameNotUtf8: return "kein g\xC3\xBCltiges UTF-8: die Datei als UTF-8 speichern";
    case ConfigProblem::BadDestination: return "keine IPv4-Adresse wie 192.168.1.20";
    case ConfigProblem::ArtNetWithoutDestination:
      return "Art-Net braucht ein Ziel: die Adresse des Knotens oder eine Broadcast-Adresse wie 2.255.255.255";
  }
  return "";
}

void DescribeConfigProblemGerman(const ConfigResult& r, char* out, size_t capacity) {
  if (capacity == 0) return;
  const char* what = ConfigProblemReasonGerman(r);
  if (r.key[0] && r.line) std::snprintf(out, capacity, "Zeile %d, %s: %s", r.line, r.key, what);
  else if (r.key[0]) std::snprintf(out, capacity, "%s: %s", r.key, what);
  else if (r.line) std::snprintf(out, capacity, "Zeile %d: %s", r.line, what);
  else std::snprintf(out, capacity, "%s", what);
}

}  // namespace selvane::net
