// Saving the settings file under Wine: a whole new file by one rename, so a
// reader sees the old file or the new one, and a crash mid-save leaves the old
// one whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "child_process.h"
#include "sandbox.h"
#include "settings_file.h"

namespace {

using namespace selvane::netsettings;

TEST(SettingsFile, ASaveMakesTheFolderAndLeavesNoTemporaryFile) {
  Sandbox sandbox(L"save-new");
  ASSERT_EQ(0u, SaveSettingsFile(sandbox.UserIni().c_str(), "[Output]\r\nUniverse = 4\r\n"));
  EXPECT_EQ("[Output]\r\nUniverse = 4\r\n", Sandbox::Read(sandbox.UserIni()));
  ASSERT_EQ(0u, SaveSettingsFile(sandbox.UserIni().c_str(), "[Output]\r\n"));
  EXPECT_EQ("[Output]\r\n", Sandbox::Read(sandbox.UserIni()));
  EXPECT_EQ("<missing>", Sandbox::Read(TemporaryPathFor(sandbox.UserIni().c_str())));

  std::string text;
  DWORD error = 0;
  EXPECT_EQ(ReadOutcome::Read, ReadSettingsFile(sandbox.UserIni().c_str(), text, error));
  EXPECT_EQ("[Output]\r\n", text);
  EXPECT_EQ(ReadOutcome::Missing, ReadSettingsFile(sandbox.BesideIni().c_str(), text, error));
}

TEST(SettingsFile, AProgramThatDiesWhileSavingLeavesTheOldFileWhole) {
  Sandbox sandbox(L"save-crash");
  const std::string old = "[Output]\r\nProtocol = sACN\r\nUniverse = 1\r\n";
  Sandbox::Write(sandbox.UserIni(), old);
  ChildProcess dying(L"die-mid-save \"" + sandbox.UserIni() + L"\"");
  ASSERT_EQ(3, dying.Wait());
  EXPECT_EQ(old, Sandbox::Read(sandbox.UserIni()));
  EXPECT_NE("<missing>", Sandbox::Read(TemporaryPathFor(sandbox.UserIni().c_str()))) << "it got as far as the temporary file";
  // The next save is not hindered by what the crash left.
  ASSERT_EQ(0u, SaveSettingsFile(sandbox.UserIni().c_str(), "[Output]\r\nUniverse = 3\r\n"));
  EXPECT_EQ("[Output]\r\nUniverse = 3\r\n", Sandbox::Read(sandbox.UserIni()));
}

TEST(SettingsFile, AReaderDuringSavesSeesTheOldFileOrTheNewOneNeverHalf) {
  Sandbox sandbox(L"save-reader");
  const std::string a = "[Output]\r\nUniverse = 1\r\n";
  const std::string b = "[Output]\r\nUniverse = 2\r\n" + std::string(12000, '#') + "\r\n";
  ASSERT_EQ(0u, SaveSettingsFile(sandbox.UserIni().c_str(), a));
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, torn{0};
  std::thread reader([&] {
    while (!done) {
      std::string text;
      DWORD error = 0;
      // A library reads the way this does: open, read up to 16 KiB + 1.
      if (ReadSettingsFile(sandbox.UserIni().c_str(), text, error) != ReadOutcome::Read) {
        ++torn;  // the file must never be missing either
        continue;
      }
      if (text != a && text != b) ++torn;
      ++reads;
      Sleep(1);  // a library reads far less often; an open file cannot be replaced
    }
  });
  for (int i = 0; i < 300; ++i) ASSERT_EQ(0u, SaveSettingsFile(sandbox.UserIni().c_str(), i % 2 ? a : b));
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(0, torn.load());
}

}  // namespace
