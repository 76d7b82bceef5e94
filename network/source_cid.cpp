#include "source_cid.h"

#include <windows.h>
#include <sddl.h>

#include "name_based_uuid.h"
#include "unique_any.h"

namespace selvane::net {
namespace {

// The machine's MachineGuid, from the 64-bit view: a 32-bit library on 64-bit
// Windows would otherwise read the redirected key, which has none.
bool MachineGuid(wchar_t* id, DWORD chars) {
  unique_hkey key;
  DWORD bytes = (chars - 1) * sizeof(wchar_t), type = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                    key.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(key.get(), L"MachineGuid", nullptr, &type, reinterpret_cast<BYTE*>(id), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ || bytes < sizeof(wchar_t))
    return false;
  id[bytes / sizeof(wchar_t)] = 0;
  return true;
}

bool UserSid(wchar_t* id, DWORD chars) {
  unique_handle token;
  alignas(8) unsigned char buffer[256];
  DWORD size = 0;
  unique_hlocal_string sid;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
      !GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid.put()))
    return false;
  lstrcpynW(id, sid.get(), static_cast<int>(chars));
  return id[0] != 0;
}

// Appends `text` as UTF-8 at `out[used]`; returns the new length.
int AppendUtf8(char* out, int used, int capacity, const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out + used, capacity - used, nullptr, nullptr);
  return n > 0 ? used + n - 1 : used;
}

}  // namespace

Cid SourceCid() {
  wchar_t machine[128], user[192];
  DWORD n = 128;
  if (!MachineGuid(machine, 128) && !GetComputerNameW(machine, &n)) machine[0] = 0;
  n = 192;
  if (!UserSid(user, 192) && !GetUserNameW(user, &n)) user[0] = 0;
  char name[1024];
  int used = AppendUtf8(name, 0, sizeof name, machine);
  if (used < static_cast<int>(sizeof name) - 1) name[used++] = '|';
  used = AppendUtf8(name, used, sizeof name, user);
  Cid cid;
  NameBasedUuid(kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(name), static_cast<size_t>(used), cid.bytes);
  return cid;
}

}  // namespace selvane::net
