#include "com_port_list.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "com_port_name.h"
#include "unique_any.h"
#include "utf8_text.h"

namespace selvane::netsettings {
namespace {

// Marks the port a name stands for, when it is one the libraries take.
void Add(const std::wstring& name, bool (&seen)[net::kLastComPort + 1]) {
  net::ComPortName port;
  if (net::ParseComPortName(WideToUtf8(name), port)) seen[port.number] = true;
}

}  // namespace

std::vector<std::wstring> ExistingComPorts() {
  bool seen[net::kLastComPort + 1] = {};
  // The serial ports that drivers announced (USB interfaces among them) …
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &opened) ==
      ERROR_SUCCESS) {
    unique_hkey key(opened);
    for (DWORD i = 0;; ++i) {
      wchar_t valueName[256], data[64];
      DWORD nameChars = 256, dataBytes = sizeof data - sizeof(wchar_t), type = 0;
      if (RegEnumValueW(key.get(), i, valueName, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(data),
                        &dataBytes) != ERROR_SUCCESS)
        break;
      if (type != REG_SZ) continue;
      data[dataBytes / sizeof(wchar_t)] = 0;
      Add(data, seen);
    }
  }
  // … and every COM device name, also those only linked (Wine's dosdevices).
  std::vector<wchar_t> names(64 * 1024);
  if (const DWORD chars = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()))) {
    for (const wchar_t* name = names.data(); name < names.data() + chars && *name; name += wcslen(name) + 1)
      Add(name, seen);
  }
  std::vector<std::wstring> ports;
  for (unsigned n = net::kFirstComPort; n <= net::kLastComPort; ++n)
    if (seen[n]) ports.push_back(L"COM" + std::to_wstring(n));
  return ports;
}

}  // namespace selvane::netsettings
