// The support log under Wine: whole lines from two processes at once, the
// 256 KiB bound with one previous file kept, and a log that cannot be written.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "network_log.h"
#include "network_log_line.h"
#include "sandbox.h"

namespace {

using selvane::net::AppendNetworkLogLine;
using selvane::net::kLogMaxBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "<time>  <tag> <number> xxx…" as netsettings_child writes it.
const std::regex kChildLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  ([AB]) (\d{5}) x{60}\r)");

TEST(NetworkLog, TwoProcessesAppendingAtOnceWriteEveryLineWhole) {
  Sandbox sandbox(L"log-two");
  // 2 × 1500 lines of 95 bytes: past the bound once, so a move happens while both write.
  ChildProcess a(L"append A 1500"), b(L"append B 1500");
  ASSERT_TRUE(a.Started() && b.Started());
  ASSERT_EQ(0, a.Wait());
  ASSERT_EQ(0, b.Wait());

  const std::string old = Sandbox::Read(sandbox.OldLog()), current = Sandbox::Read(sandbox.Log());
  ASSERT_NE("<missing>", old) << "the log was never moved aside";
  std::map<std::string, std::set<int>> seen;
  for (const std::string* file : {&old, &current}) {
    for (const std::string& line : Lines(*file)) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, kChildLine)) << "a torn or mixed line: " << line;
      EXPECT_TRUE(seen[m[1]].insert(std::stoi(m[2])).second) << "twice: " << line;
    }
  }
  EXPECT_EQ(1500u, seen["A"].size());
  EXPECT_EQ(1500u, seen["B"].size());
}

TEST(NetworkLog, StaysWithin256KiBAndKeepsOnePreviousFile) {
  Sandbox sandbox(L"log-bound");
  // About 2.4 times the bound: the first file is moved aside, then replaced by the second.
  const int lines = static_cast<int>(kLogMaxBytes * 12 / 5 / 95);
  ChildProcess writer(L"append A " + std::to_wstring(lines));
  ASSERT_EQ(0, writer.Wait());

  const std::string old = Sandbox::Read(sandbox.OldLog()), current = Sandbox::Read(sandbox.Log());
  EXPECT_LE(current.size(), kLogMaxBytes);
  EXPECT_LE(old.size(), kLogMaxBytes);
  EXPECT_GT(old.size(), kLogMaxBytes - 95) << "moved only when the next line would not fit";
  // The previous file continues where the dropped one ended, the current where the previous ends.
  const std::vector<std::string> oldLines = Lines(old), currentLines = Lines(current);
  ASSERT_FALSE(oldLines.empty() || currentLines.empty());
  std::smatch first, last, next;
  ASSERT_TRUE(std::regex_match(oldLines.front(), first, kChildLine));
  ASSERT_TRUE(std::regex_match(oldLines.back(), last, kChildLine));
  ASSERT_TRUE(std::regex_match(currentLines.front(), next, kChildLine));
  EXPECT_GT(std::stoi(first[2]), 0) << "the oldest generation is gone";
  EXPECT_EQ(std::stoi(last[2]) + 1, std::stoi(next[2]));
  EXPECT_EQ(static_cast<size_t>(lines), oldLines.size() + currentLines.size() + std::stoi(first[2]));
}

TEST(NetworkLog, WritesUtf8AndMakesItsFolder) {
  Sandbox sandbox(L"log-utf8");
  AppendNetworkLogLine(L"Senden gescheitert: Zielger\u00e4t nicht erreichbar");
  const std::string text = Sandbox::Read(sandbox.Log());
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  Senden gescheitert: Zielger\xC3\xA4t nicht erreichbar\r\n)")))
      << text;
  wchar_t path[MAX_PATH];
  ASSERT_TRUE(selvane::net::NetworkLogPath(path, MAX_PATH));
  EXPECT_EQ(sandbox.Log(), path);
}

TEST(NetworkLog, ALogThatCannotBeWrittenIsSkippedAndTheCallerGoesOn) {
  Sandbox sandbox(L"log-blocked");
  // Held by another program that shares nothing: the line is dropped, not waited for.
  Sandbox::Write(sandbox.Log(), "before\r\n");
  HANDLE held = CreateFileW(sandbox.Log().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  for (int i = 0; i < 100; ++i) AppendNetworkLogLine(L"dropped");
  CloseHandle(held);
  EXPECT_EQ("before\r\n", Sandbox::Read(sandbox.Log()));
  AppendNetworkLogLine(L"after");
  EXPECT_NE(std::string::npos, Sandbox::Read(sandbox.Log()).find("after"));

  // A file where the folder should be: nothing can be made.
  const std::wstring blocked = sandbox.AppData() + L"\\Selvane";
  Sandbox::Write(blocked, "not a folder");
  SetEnvironmentVariableW(L"LOCALAPPDATA", sandbox.AppData().c_str());
  AppendNetworkLogLine(L"nowhere");
  EXPECT_EQ("not a folder", Sandbox::Read(blocked));
  SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  AppendNetworkLogLine(L"no folder at all");
  wchar_t path[MAX_PATH];
  EXPECT_FALSE(selvane::net::NetworkLogPath(path, MAX_PATH));
}

}  // namespace
