// The network DMX510.dll under Wine, loaded from a folder of its own: which
// settings file it uses (beside it, else the user's own, else it reports "no
// settings" once), and the support log's lines for its events.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "network_status.h"
#include "sandbox.h"

namespace {

using SetLevelFunction = int16_t(__stdcall*)(const uint8_t*, int32_t);

const uint8_t g_levels[512] = {};

class Library {
 public:
  explicit Library(const Sandbox& sandbox) {
    const std::wstring copy = sandbox.Program() + L"\\DMX510.dll";
    CopyFileW(SELVANE_NETWORK_DIR L"\\DMX510.dll", copy.c_str(), FALSE);
    module_ = LoadLibraryW(copy.c_str());
  }
  ~Library() { Unload(); }
  bool Loaded() const { return module_ != nullptr; }
  void Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  int SetLevel() const {
    auto setLevel = reinterpret_cast<SetLevelFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "SetLevel")));
    return setLevel(g_levels, 509);
  }
  SelvaneNetworkStatusInfo Status() const {
    auto status = reinterpret_cast<SelvaneNetworkStatusFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "SelvaneNetworkStatus")));
    SelvaneNetworkStatusInfo s{};
    s.size = sizeof s;
    EXPECT_TRUE(status && status(&s));
    return s;
  }

 private:
  HMODULE module_ = nullptr;
};

std::string Settings(int universe) {
  return "[Output]\r\nProtocol = sACN\r\nDestination = 127.0.0.78\r\nUniverse = " + std::to_string(universe) + "\r\n";
}

// The library looks at the file at most once a second.
void NextLook() { Sleep(1100); }

// A changed file is used once it has settled: calls, as a host's ticks
// would, until the library answers `answer`; false after five seconds.
bool CallsUntil(const Library& library, int answer) {
  for (int waited = 0; waited < 5000; waited += 45, Sleep(45))
    if (library.SetLevel() == answer) return true;
  return false;
}

// The first file, too, is used once it has settled: until a frame has gone out.
bool CallsUntilSent(const Library& library) {
  for (int waited = 0; waited < 5000; waited += 45, Sleep(45))
    if (library.SetLevel() == 1 && library.Status().framesSent > 0) return true;
  return false;
}

TEST(LibrarySettings, BesideTheLibraryFirstThenTheUsersOwnAndNeitherIsReportedOnce) {
  Sandbox sandbox(L"library-order");
  Library library(sandbox);
  ASSERT_TRUE(library.Loaded());
  EXPECT_EQ(0, library.SetLevel());
  SelvaneNetworkStatusInfo s = library.Status();
  EXPECT_EQ(sandbox.UserIni(), s.configFile);
  EXPECT_NE(std::wstring::npos, std::wstring(s.problem).find(L"es gibt keine Einstellungen")) << s.problem;
  NextLook();
  EXPECT_EQ(0, library.SetLevel());
  EXPECT_EQ(1u, library.Status().problemsReported) << "reported once";

  Sandbox::Write(sandbox.UserIni(), Settings(5));
  NextLook();
  ASSERT_EQ(1, library.SetLevel());
  s = library.Status();
  EXPECT_EQ(sandbox.UserIni(), s.configFile);
  EXPECT_EQ(5, s.universe);

  Sandbox::Write(sandbox.BesideIni(), Settings(9));
  NextLook();
  ASSERT_EQ(1, library.SetLevel());
  s = library.Status();
  EXPECT_EQ(sandbox.BesideIni(), s.configFile) << "the file beside the library wins";
  EXPECT_EQ(9, s.universe);

  ASSERT_TRUE(DeleteFileW(sandbox.BesideIni().c_str()));
  NextLook();
  ASSERT_EQ(1, library.SetLevel());
  EXPECT_EQ(5, library.Status().universe);
}

TEST(LibrarySettings, TheLogHasALineForStartProblemRecoveryAndUnload) {
  Sandbox sandbox(L"library-log");
  Sandbox::Write(sandbox.UserIni(), Settings(5));
  Library library(sandbox);
  ASSERT_TRUE(library.Loaded());
  ASSERT_TRUE(CallsUntilSent(library));
  for (int i = 0; i < 10; ++i) ASSERT_EQ(1, library.SetLevel());
  Sandbox::Write(sandbox.UserIni(), "[Output]\r\nUniverse = 0\r\n");
  ASSERT_TRUE(CallsUntil(library, 0));
  Sandbox::Write(sandbox.UserIni(), Settings(6));
  ASSERT_TRUE(CallsUntil(library, 1));
  const uint32_t frames = library.Status().framesSent;
  library.Unload();

  const std::string log = Sandbox::Read(sandbox.Log());
  const std::string path = "roaming\\Selvane\\Selvane.network.ini";
  const size_t started = log.find("  DMX510.dll: Ausgabe gestartet: sACN an 127.0.0.78:5568, Universum 5");
  const size_t problem = log.find("  Selvane Netzwerk-Ausgabe (DMX510.dll): ");
  const size_t again = log.find("  DMX510.dll: Ausgabe l\xC3\xA4uft wieder: sACN an 127.0.0.78:5568, Universum 6");
  const size_t unloaded =
      log.find("  DMX510.dll: entladen: Bilder gesendet: " + std::to_string(frames) + ", Sendefehler: 0.");
  ASSERT_NE(std::string::npos, started) << log;
  EXPECT_NE(std::string::npos, log.find(path, started)) << "the settings file used";
  ASSERT_NE(std::string::npos, problem) << log;
  EXPECT_NE(std::string::npos, log.find("Zeile 2, Universe: au\xC3\x9F" "erhalb des Bereichs", problem)) << log;
  ASSERT_NE(std::string::npos, again) << log;
  ASSERT_NE(std::string::npos, unloaded) << log;
  EXPECT_TRUE(started < problem && problem < again && again < unloaded) << log;
  // One line per event: four events, four lines.
  size_t lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(4u, lines) << log;
}

}  // namespace
