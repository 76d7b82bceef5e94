#pragma once
// What a settings problem means, in German, for the lighting user: the text
// beside a field of "Selvane Netzwerk", and in the status and log. Plain C++.
#include <cstddef>

#include "network_config.h"

namespace selvane::net {

// The reason alone, e.g. "außerhalb des Bereichs: sACN-Universen sind 1 bis 63999". UTF-8.
const char* ConfigProblemReasonGerman(const ConfigResult& result);

// With the line and key, e.g. "Zeile 4, Universe: außerhalb des Bereichs: …".
// Always zero-terminated.
void DescribeConfigProblemGerman(const ConfigResult& result, char* out, size_t capacity);

}  // namespace selvane::net
