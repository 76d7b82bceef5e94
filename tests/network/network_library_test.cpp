// The network libraries under Wine, with an in-process UDP receiver on a
// loopback address: whole packets from several threads, the sequence, the
// CID across loads, and the configuration file's changes and problems.
// run_library_test.sh runs it in a private network namespace.
#include <winsock2.h>
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "name_based_uuid.h"
#include "network_status.h"

namespace {

using SetLevelFunction = int16_t(__stdcall*)(const uint8_t*, int32_t);
using OutDmxFunction = int16_t(__stdcall*)(uint8_t, uint8_t);
constexpr char kReceiverAddress[] = "127.0.0.77";

// A copy of one library in a folder of its own, with its .ini beside it.
class LibraryFolder {
 public:
  explicit LibraryFolder(const wchar_t* dll) : dll_(dll) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"selvane-network-" + std::to_wstring(GetCurrentProcessId()) + L"-" + dll;
    CreateDirectoryW(folder_.c_str(), nullptr);
    CopyFileW((std::wstring(SELVANE_NETWORK_DIR) + L"\\" + dll).c_str(), Path().c_str(), FALSE);
  }
  ~LibraryFolder() {
    Unload();
    DeleteFileW(Path().c_str());
    DeleteFileW(Ini().c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  std::wstring Path() const { return folder_ + L"\\" + dll_; }
  std::wstring Ini() const { return folder_ + L"\\Selvane.network.ini"; }
  void WriteIni(const std::string& text) {
    HANDLE f = CreateFileW(Ini().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    Sleep(300);  // past the settling time: a file written just now is not used yet
  }
  HMODULE Load() { return module_ = LoadLibraryW(Path().c_str()); }
  void Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  template <typename F>
  F Entry(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  SelvaneNetworkStatusInfo Status() const {
    SelvaneNetworkStatusInfo s{};
    s.size = sizeof s;
    auto status = Entry<SelvaneNetworkStatusFunction>("SelvaneNetworkStatus");
    EXPECT_TRUE(status && status(&s));
    return s;
  }

 private:
  std::wstring dll_, folder_;
  HMODULE module_ = nullptr;
};

class Receiver {
 public:
  explicit Receiver(uint16_t port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int big = 4 << 20;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&big), sizeof big);
    DWORD timeoutMs = 2000;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = inet_addr(kReceiverAddress);
    bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~Receiver() { closesocket(socket_); }
  bool Bound() const { return bound_; }
  // The next datagram, or an empty one after two seconds.
  std::vector<uint8_t> Next() {
    std::vector<uint8_t> d(2048);
    const int n = recv(socket_, reinterpret_cast<char*>(d.data()), static_cast<int>(d.size()), 0);
    d.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return d;
  }

 private:
  SOCKET socket_;
  bool bound_ = false;
};

const std::string kSacnIni = std::string("[Output]\nProtocol = sACN\nDestination = ") + kReceiverAddress + "\nUniverse = 7\n";

TEST(NetworkLibrary, SetLevelSendsWholeUniversesWithCountingSequenceAndStableCid) {
  Receiver receiver(5568);
  ASSERT_TRUE(receiver.Bound()) << "cannot bind " << kReceiverAddress << ":5568 for the test receiver";
  LibraryFolder lib(L"DMX510.dll");
  lib.WriteIni(kSacnIni);
  uint8_t cid[16];
  int lastSequence = -1;
  for (int load = 0; load < 2; ++load) {
    ASSERT_TRUE(lib.Load());
    auto setLevel = lib.Entry<SetLevelFunction>("SetLevel");
    ASSERT_TRUE(setLevel);
    uint8_t levels[510];
    for (int i = 0; i < 510; ++i) levels[i] = static_cast<uint8_t>(i + load);
    for (int call = 0; call < 3; ++call) {
      ASSERT_EQ(1, setLevel(levels, 509));
      const std::vector<uint8_t> p = receiver.Next();
      ASSERT_EQ(638u, p.size());
      EXPECT_EQ(7, p[114]);
      EXPECT_EQ(0, std::memcmp(p.data() + 126, levels, 509));
      EXPECT_EQ(0, p[126 + 509]);  // entry 509 of the buffer was not handed over
      if (lastSequence >= 0 && load == 0) {
        EXPECT_EQ((lastSequence + 1) & 255, p[111]);
      }
      lastSequence = p[111];
      if (load == 0 && call == 0) std::memcpy(cid, p.data() + 22, 16);
      EXPECT_EQ(0, std::memcmp(cid, p.data() + 22, 16)) << "the CID changed";
    }
    EXPECT_EQ(3u, lib.Status().framesSent);
    lib.Unload();
  }
}

TEST(NetworkLibrary, TicksOfSeveralThreadsNeverTearOrMixAPacket) {
  Receiver receiver(5568);
  ASSERT_TRUE(receiver.Bound());
  for (const wchar_t* dll : {L"DMX510.dll", L"DMX60.dll"}) {
    LibraryFolder lib(dll);
    lib.WriteIni(kSacnIni);
    ASSERT_TRUE(lib.Load());
    auto setLevel = lib.Entry<SetLevelFunction>("SetLevel");
    auto outDmx = lib.Entry<OutDmxFunction>("OutDMX");
    constexpr int kThreads = 4, kFrames = 60;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        uint8_t levels[510];
        for (int f = 0; f < kFrames; ++f) {
          const uint8_t level = static_cast<uint8_t>(t * 64 + f % 64);
          if (setLevel) {
            std::memset(levels, level, sizeof levels);
            setLevel(levels, 509);
          } else {
            for (int i = 0; i < 64; ++i) outDmx(static_cast<uint8_t>(i), level);
          }
        }
      });
    }
    for (auto& t : threads) t.join();
    const size_t channels = setLevel ? 509 : 64;
    int received = 0, previous = -1;
    for (; received < kThreads * kFrames; ++received) {
      const std::vector<uint8_t> p = receiver.Next();
      ASSERT_EQ(638u, p.size()) << "packet " << received;
      for (size_t i = 1; i < channels; ++i) {
        ASSERT_EQ(p[126], p[126 + i]) << "a mixed packet, slot " << i + 1;
      }
      ASSERT_EQ(0, p[126 + channels]);
      if (previous >= 0) {
        ASSERT_EQ((previous + 1) & 255, p[111]) << "sequence out of order";
      }
      previous = p[111];
    }
    EXPECT_EQ(static_cast<uint32_t>(kThreads * kFrames), lib.Status().framesSent);
  }
}

TEST(NetworkLibrary, AnUnusableFileAnswers0ReportsOnceAndAFixTakesEffect) {
  Receiver receiver(6454);
  ASSERT_TRUE(receiver.Bound());
  LibraryFolder lib(L"DMX120.dll");
  lib.WriteIni("[Output]\nProtocol = Art-Net\nUniverse = 40000\n");
  ASSERT_TRUE(lib.Load());
  auto outDmx = lib.Entry<OutDmxFunction>("OutDMX");
  for (int tick = 0; tick < 3; ++tick)
    for (int i = 0; i < 120; ++i) {
      ASSERT_EQ(0, outDmx(static_cast<uint8_t>(i), 1));
    }
  SelvaneNetworkStatusInfo s = lib.Status();
  EXPECT_EQ(0, s.usable);
  EXPECT_EQ(1u, s.problemsReported);
  const std::wstring problem = s.problem;
  EXPECT_NE(std::wstring::npos, problem.find(lib.Ini())) << "the file is not named";
  EXPECT_NE(std::wstring::npos, problem.find(L"Zeile 3, Universe: au\u00dferhalb des Bereichs")) << "the key is not named";

  lib.WriteIni(std::string("[Output]\nProtocol = Art-Net\nDestination = ") + kReceiverAddress + "\nUniverse = 291\n");
  EXPECT_EQ(0, outDmx(0, 1)) << "the file was read again within a second";
  Sleep(1100);
  for (int i = 0; i < 120; ++i) {
    ASSERT_EQ(1, outDmx(static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  }
  const std::vector<uint8_t> p = receiver.Next();
  ASSERT_EQ(530u, p.size());
  EXPECT_EQ(0x23, p[14]);
  EXPECT_EQ(0x01, p[15]);
  EXPECT_EQ(119, p[18 + 119]);
  EXPECT_EQ(0, p[18 + 120]);
  s = lib.Status();
  EXPECT_EQ(1, s.usable);
  EXPECT_EQ(2, s.protocol);
  EXPECT_EQ(L"", std::wstring(s.problem));
}

std::string Utf8(const std::wstring& text) {
  char out[512];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
  return n > 0 ? std::string(out, static_cast<size_t>(n - 1)) : std::string();
}

// The documented rule: a version 5 UUID of "<MachineGuid>|<user's SID>".
std::vector<uint8_t> ExpectedCid(const std::wstring& machine) {
  HANDLE token = nullptr;
  alignas(8) unsigned char buffer[256];
  DWORD size = 0;
  wchar_t* sid = nullptr;
  std::wstring user;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
      GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
    user = sid;
    LocalFree(sid);
  }
  if (token) CloseHandle(token);
  EXPECT_FALSE(user.empty()) << "cannot read the test's own SID";
  const std::string name = Utf8(machine) + "|" + Utf8(user);
  uint8_t uuid[16];
  selvane::net::NameBasedUuid(selvane::net::kSelvaneCidNamespace, reinterpret_cast<const uint8_t*>(name.data()),
                              name.size(), uuid);
  return std::vector<uint8_t>(uuid, uuid + 16);
}

std::vector<uint8_t> CidOfOneFrame(Receiver& receiver) {
  LibraryFolder lib(L"DMX510.dll");
  lib.WriteIni(kSacnIni);
  EXPECT_TRUE(lib.Load());
  auto setLevel = lib.Entry<SetLevelFunction>("SetLevel");
  uint8_t levels[510] = {};
  EXPECT_EQ(1, setLevel(levels, 509));
  const std::vector<uint8_t> p = receiver.Next();
  if (p.size() != 638u) return {};
  return std::vector<uint8_t>(p.begin() + 22, p.begin() + 38);
}

TEST(NetworkLibrary, TheCidIsTheMachineGuidAndSidAndWithoutAMachineGuidTheComputerNameStandsIn) {
  Receiver receiver(5568);
  ASSERT_TRUE(receiver.Bound());
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                                         KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key))
      << "the prefix has no Cryptography key";
  wchar_t guid[128] = L"";
  DWORD bytes = sizeof guid - sizeof(wchar_t);
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(guid), &bytes))
      << "the prefix has no MachineGuid";
  EXPECT_EQ(ExpectedCid(guid), CidOfOneFrame(receiver));

  // Taken away for the rest of the test, and put back whatever happens.
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L"MachineGuid"));
  struct PutBack {
    HKEY key;
    const wchar_t* guid;
    ~PutBack() {
      RegSetValueExW(key, L"MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(guid),
                     static_cast<DWORD>((lstrlenW(guid) + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  } putBack{key, guid};
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(computer, &chars));
  EXPECT_EQ(ExpectedCid(computer), CidOfOneFrame(receiver));
}

}  // namespace
