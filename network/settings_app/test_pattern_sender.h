#pragma once
// "Testen": every slot at 50 % for a few seconds, with the values on screen,
// so a lighting user sees whether the node lights up.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "network_config.h"

namespace selvane::netsettings {

// 50 % of 255 is 127.5; rounded half up as consoles show percentages, and 0x80
// is easy to spot in a receiver's hex view.
inline constexpr uint8_t kTestPatternLevel = 128;
inline constexpr DWORD kTestPatternMs = 5000;
inline constexpr DWORD kTestPatternPeriodMs = 45;  // about 22 frames a second, like the plug-in

struct TestPatternResult {
  unsigned frames = 0;  // sent
  unsigned errors = 0;  // sends that failed
  DWORD lastError = 0;  // the last Winsock or Windows error, 0 if none
  uint32_t address = 0;  // destination, IPv4 host order
  uint16_t port = 0;
  unsigned comPort = 0;  // USB-Pro: the interface's COM port number instead
  net::Cid cid{};  // the test's own sACN source, never the host's
  std::string problem;  // UTF-8: why the engine could not send, or the last send error
};

class TestPatternSender {
 public:
  virtual ~TestPatternSender() = default;
  // Sends with `settings` (the text of a settings file) on a thread of its
  // own and posts `message` to `notify` when done. False if a test is still
  // running or the thread cannot start.
  virtual bool Start(const std::string& settings, HWND notify, UINT message) = 0;
  virtual bool Running() const = 0;
  // What the last test sent; complete once the message has arrived.
  virtual TestPatternResult Result() const = 0;
};

// Through the libraries' own output engine, from this program: its own
// socket, its own CID; for USB-Pro the libraries' own serial transport.
std::unique_ptr<TestPatternSender> MakeEngineTestPatternSender();

}  // namespace selvane::netsettings
