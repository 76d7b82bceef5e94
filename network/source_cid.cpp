#include "source_cid.h"

#include <windows.h>
#include <sddl.h>

#include "name_based_uuid.h"

namespace selvane::net {
namespace {

// Appends `text` as UTF-8 at `out[used]`; returns the new length.
int AppendUtf8(char* out, int used, int capacity, const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out + used, capacity - used, nullptr, nullptr);
  return n > 0 ? used + n - 1 : used;
}

void MachineId(wchar_t* id, DWORD chars) {
  // The 64-bit view: a 32-bit library on 64-bit Windows would otherwise read
  // the redirected key, which has no MachineGuid.
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                    &key) == ERROR_SUCCESS) {
    DWORD bytes = (chars - 1) * sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, L"MachineGuid", nullptr, &type, reinterpret_cast<BYTE*>(id), &bytes);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && type == REG_SZ && bytes >= sizeof(wchar_t)) {
      id[bytes / sizeof(wchar_t)] = 0;
      return;
    }
  }
  DWORD n = chars;
  if (!GetComputerNameW(id, &n)) id[0] = 0;
}

void UserId(wchar_t* id, DWORD chars) {
  id[0] = 0;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    alignas(8) unsigned char buffer[256];
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      lstrcpynW(id, sid, static_cast<int>(chars));
      LocalFree(sid);
    }
    CloseHandle(token);
  }
  if (!id[0]) {
    DWORD n = chars;
    if (!GetUserNameW(id, &n)) id[0] = 0;
  }
}

}  // namespace

Cid SourceCid() {
  wchar_t machine[128], user[192];
  MachineId(machine, 128);
  UserId(user, 192);
  char name[1024];
  int used = AppendUtf8(name, 0, sizeof name, machine);
  if (used < static_cast<int>(sizeof name) - 1) name[used++] = '|';
  used = AppendUtf8(name, used, sizeof name, user);
  Cid cid;
  NameBasedUuid(kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(name), static_cast<size_t>(used), cid.bytes);
  return cid;
}

}  // namespace selvane::net
