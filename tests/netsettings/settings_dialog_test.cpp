// "Selvane Netzwerk" as a user drives it, under Wine: the real program in a
// folder of its own (where the libraries would be), found by its window's
// title, its fields found by their labels. What it writes is read back
// through the libraries' own parser.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cwctype>
#include <string>
#include <vector>

#include "network_config.h"
#include "sandbox.h"

namespace {

using selvane::net::ConfigResult;
using selvane::net::ParseNetworkConfig;
using selvane::net::Protocol;

constexpr DWORD kPatienceMs = 60000;  // emulated Wine starts a program in seconds
constexpr int kStatusId = 102;         // the file's status below its path

std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::wstring WithoutAccelerator(std::wstring text) {
  if (const size_t amp = text.find(L'&'); amp != std::wstring::npos) text.erase(amp, 1);
  return text;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD ms = kPatienceMs) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

ConfigResult ParseFile(const std::wstring& path) {
  const std::string text = Sandbox::Read(path);
  return ParseNetworkConfig(text.data(), text.size());
}

// The program, started from the sandbox's program folder.
class SettingsProgram {
 public:
  explicit SettingsProgram(const Sandbox& sandbox) {
    const std::wstring exe = sandbox.Program() + L"\\Selvane-Netzwerk.exe";
    CopyFileW(SELVANE_NETZWERK_EXE, exe.c_str(), FALSE);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        sandbox.Program().c_str(), &si, &process_))
      return;
    WaitFor([this] { return (window_ = FindWindowOfProcess()) != nullptr; });
  }
  ~SettingsProgram() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.hProcess, 20000) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  SettingsProgram(const SettingsProgram&) = delete;
  SettingsProgram& operator=(const SettingsProgram&) = delete;

  HWND Window() const { return window_; }
  bool Ended(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }

  // The control whose text (without its accelerator) is `text`.
  HWND Control(const std::wstring& text) const {
    for (HWND child : Children())
      if (WithoutAccelerator(TextOf(child)) == text) return child;
    return nullptr;
  }
  // The field a label leads to: the next control in tab order.
  HWND Field(const std::wstring& label) const {
    HWND l = Control(label);
    return l ? GetWindow(l, GW_HWNDNEXT) : nullptr;
  }
  // The message beside a field.
  std::wstring Message(const std::wstring& label) const { return TextOf(GetWindow(Field(label), GW_HWNDNEXT)); }
  std::wstring Status() const { return TextOf(GetDlgItem(window_, kStatusId)); }
  std::vector<HWND> Children() const {
    std::vector<HWND> children;
    for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    return children;
  }

  void Type(const std::wstring& label, const std::wstring& text) const {
    SendMessageW(Field(label), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void SelectProtocol(const std::wstring& name) const {
    HWND list = Field(L"Protokoll:");
    const LRESULT index = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  }
  // A port chosen from the list of "Anschluss:", as a click on it does.
  void PickPort(const std::wstring& name) const {
    HWND list = Field(L"Anschluss:");
    SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  }
  void Click(const std::wstring& button) const { SendMessageW(Control(button), BM_CLICK, 0, 0); }
  // A key pressed in a field goes through the program's own message loop.
  void PressKey(const std::wstring& label, WPARAM key) const {
    PostMessageW(Field(label), WM_KEYDOWN, key, 1);
    PostMessageW(Field(label), WM_KEYUP, key, 0xC0000001);
  }

 private:
  struct Search {
    DWORD process;
    HWND found;
  };
  static BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    if (pid != s->process || !IsWindowVisible(hwnd) || std::wstring(title) != L"Selvane Netzwerk") return TRUE;
    s->found = hwnd;
    return FALSE;
  }
  HWND FindWindowOfProcess() const {
    Search search{process_.dwProcessId, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

const std::string kUserSacn = "[Output]\r\nProtocol = sACN\r\nUniverse = 5\r\nPriority = 90\r\nSourceName = Pult\r\n";

TEST(SettingsDialog, OpensWithTheDefaultsWhenThereIsNoFileAndSavesTheUsersOwn) {
  Sandbox sandbox(L"dialog-new");
  Sandbox::Write(sandbox.Log(), "2026-12-09 19:30:00.000  DMX510.dll: Ausgabe gestartet\r\n");
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window()) << "no window titled \"Selvane Netzwerk\" appeared";

  // Labels exactly so, each right before its field in tab order, all with accelerators.
  const wchar_t* labels[] = {L"Protokoll:", L"Ziel:", L"Universum:", L"Priorit\u00e4t:", L"Quellname:", L"Anschluss:"};
  std::vector<HWND> order = program.Children();
  for (const wchar_t* label : labels) {
    HWND l = program.Control(label);
    ASSERT_TRUE(l) << "no label " << testing::PrintToString(std::wstring(label));
    EXPECT_NE(std::wstring::npos, TextOf(l).find(L'&'));
    wchar_t className[32] = {};
    GetClassNameW(l, className, 32);
    EXPECT_STREQ(L"Static", className);
    EXPECT_TRUE(GetWindowLongW(program.Field(label), GWL_STYLE) & WS_TABSTOP);
  }
  for (const wchar_t* button : {L"Speichern", L"Testen", L"Schlie\u00dfen"}) {
    ASSERT_TRUE(program.Control(button)) << "no button";
    EXPECT_NE(std::wstring::npos, TextOf(program.Control(button)).find(L'&'));
  }
  // No two accelerators alike: a key reaches one control.
  std::wstring keys;
  for (HWND child : order) {
    const std::wstring text = TextOf(child);
    const size_t amp = text.find(L'&');
    if (amp == std::wstring::npos || amp + 1 >= text.size()) continue;
    const wchar_t key = towlower(text[amp + 1]);
    EXPECT_EQ(std::wstring::npos, keys.find(key)) << "accelerator " << static_cast<char>(key) << " twice";
    keys += key;
  }

  EXPECT_EQ(L"sACN", TextOf(program.Field(L"Protokoll:")));
  EXPECT_EQ(L"", TextOf(program.Field(L"Ziel:")));
  EXPECT_EQ(L"1", TextOf(program.Field(L"Universum:")));
  EXPECT_EQ(L"100", TextOf(program.Field(L"Priorit\u00e4t:")));
  EXPECT_EQ(L"Selvane", TextOf(program.Field(L"Quellname:")));
  EXPECT_FALSE(IsWindowEnabled(program.Field(L"Anschluss:"))) << "a port is for USB-Pro alone";
  EXPECT_EQ(sandbox.UserIni(), TextOf(program.Field(L"Datei:")));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"Vorgaben")) << program.Status();
  // The log's last lines, newest last.
  EXPECT_NE(std::wstring::npos, TextOf(program.Field(L"Ereignisse (Selvane-Netzwerk.log, das neueste unten):"))
                                    .find(L"19:30:00.000  DMX510.dll: Ausgabe gestartet"));

  program.SelectProtocol(L"Art-Net");
  EXPECT_FALSE(IsWindowEnabled(program.Field(L"Priorit\u00e4t:")));
  EXPECT_FALSE(IsWindowEnabled(program.Field(L"Quellname:")));
  EXPECT_TRUE(IsWindowEnabled(program.Field(L"Ziel:")));
  program.Type(L"Ziel:", L"2.0.0.10");
  program.Type(L"Universum:", L"291");
  program.Click(L"Speichern");

  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.UserIni()).Ok(); }, 10000)) << Sandbox::Read(sandbox.UserIni());
  const ConfigResult saved = ParseFile(sandbox.UserIni());
  EXPECT_EQ(Protocol::ArtNet, saved.config.protocol);
  EXPECT_EQ(0x0200000au, saved.config.destination);
  EXPECT_EQ(291, saved.config.universe);
  EXPECT_EQ(0u, Sandbox::Read(sandbox.UserIni()).find("; Selvane Netzwerk"));
  EXPECT_EQ("<missing>", Sandbox::Read(sandbox.BesideIni())) << "nothing beside the libraries";
  EXPECT_EQ("<missing>", Sandbox::Read(sandbox.UserIni() + L".tmp"));
  EXPECT_NE(std::string::npos, Sandbox::Read(sandbox.Log()).find("Einstellungen gespeichert"));

  // Escape closes the program.
  program.PressKey(L"Universum:", VK_ESCAPE);
  EXPECT_TRUE(program.Ended(20000)) << "Esc did not close it";
}

TEST(SettingsDialog, ValuesOutOfRangeShowAMessageBesideTheFieldAndLeaveTheFileAlone) {
  Sandbox sandbox(L"dialog-range");
  Sandbox::Write(sandbox.UserIni(), kUserSacn);
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window());
  EXPECT_EQ(L"5", TextOf(program.Field(L"Universum:")));
  EXPECT_EQ(L"90", TextOf(program.Field(L"Priorit\u00e4t:")));
  EXPECT_EQ(L"Pult", TextOf(program.Field(L"Quellname:")));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"in Kraft")) << program.Status();

  program.Type(L"Universum:", L"70000");
  program.PressKey(L"Universum:", VK_RETURN);  // Enter saves
  ASSERT_TRUE(WaitFor([&] { return !program.Message(L"Universum:").empty(); }, 10000));
  EXPECT_NE(std::wstring::npos, program.Message(L"Universum:").find(L"1 bis 63999")) << program.Message(L"Universum:");
  EXPECT_NE(std::wstring::npos, program.Status().find(L"unver\u00e4ndert"));

  program.Type(L"Universum:", L"12");
  program.Type(L"Priorit\u00e4t:", L"250");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return !program.Message(L"Priorit\u00e4t:").empty(); }, 10000));
  EXPECT_EQ(L"", program.Message(L"Universum:")) << "the old message goes";
  EXPECT_NE(std::wstring::npos, program.Message(L"Priorit\u00e4t:").find(L"0 bis 200"));
  EXPECT_EQ(kUserSacn, Sandbox::Read(sandbox.UserIni())) << "a refused save touches nothing";

  program.Type(L"Priorit\u00e4t:", L"200");
  program.PressKey(L"Priorit\u00e4t:", VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.UserIni()).config.universe == 12; }, 10000));
  EXPECT_EQ(200, ParseFile(sandbox.UserIni()).config.priority);
  EXPECT_STREQ("Pult", ParseFile(sandbox.UserIni()).config.sourceName);
  EXPECT_EQ(L"", program.Message(L"Priorit\u00e4t:"));
}

TEST(SettingsDialog, AFileBesideTheLibrariesWinsAndARefusedOneShowsWhatItCanRead) {
  Sandbox sandbox(L"dialog-beside");
  Sandbox::Write(sandbox.UserIni(), kUserSacn);
  Sandbox::Write(sandbox.BesideIni(), "[Output]\r\nProtocol = art-net\r\nDestination = 2.0.0.10\r\nUniverse = 70000\r\n");
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window());
  EXPECT_EQ(sandbox.BesideIni(), TextOf(program.Field(L"Datei:")));
  EXPECT_EQ(L"Art-Net", TextOf(program.Field(L"Protokoll:")));
  EXPECT_EQ(L"2.0.0.10", TextOf(program.Field(L"Ziel:")));
  EXPECT_EQ(L"70000", TextOf(program.Field(L"Universum:")));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"Zeile 4, Universe: au\u00dferhalb des Bereichs"))
      << program.Status();
  EXPECT_NE(std::wstring::npos, program.Message(L"Universum:").find(L"0 bis 32767")) << "and beside the field";

  program.Type(L"Universum:", L"3");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.BesideIni()).Ok(); }, 10000));
  EXPECT_EQ(3, ParseFile(sandbox.BesideIni()).config.universe);
  EXPECT_EQ(kUserSacn, Sandbox::Read(sandbox.UserIni()));
}

TEST(SettingsDialog, AFileBesideTheLibrariesThatCannotBeWrittenIsNeverWrittenElsewhere) {
  Sandbox sandbox(L"dialog-locked");
  const std::string locked = "[Output]\r\nProtocol = sACN\r\nUniverse = 9\r\n";
  Sandbox::Write(sandbox.BesideIni(), locked);
  ASSERT_TRUE(SetFileAttributesW(sandbox.BesideIni().c_str(), FILE_ATTRIBUTE_READONLY));
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window());
  EXPECT_EQ(L"9", TextOf(program.Field(L"Universum:")));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"nicht geschrieben werden")) << program.Status();

  program.Type(L"Universum:", L"10");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return program.Status().find(L"Nicht gespeichert") != std::wstring::npos; }, 10000))
      << program.Status();
  EXPECT_EQ(locked, Sandbox::Read(sandbox.BesideIni()));
  EXPECT_EQ("<missing>", Sandbox::Read(sandbox.UserIni())) << "a saved file that nobody reads is worse";
}

// A COM port name for as long as the test runs (Wine lists it among the DOS
// device names, as Windows lists an interface that is plugged in).
class ComPort {
 public:
  explicit ComPort(const wchar_t* name)
      : name_(name), defined_(DefineDosDeviceW(DDD_RAW_TARGET_PATH, name, L"\\Device\\Null") != FALSE) {}
  ~ComPort() {
    if (defined_) DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, name_, L"\\Device\\Null");
  }
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;
  bool Defined() const { return defined_; }

 private:
  const wchar_t* name_;
  bool defined_;
};

// The fields a USB interface has no use for, and the one it needs.
void ExpectUsbProFields(const SettingsProgram& program) {
  for (const wchar_t* label : {L"Ziel:", L"Universum:", L"Priorit\u00e4t:", L"Quellname:"})
    EXPECT_FALSE(IsWindowEnabled(program.Field(label))) << testing::PrintToString(std::wstring(label));
  EXPECT_TRUE(IsWindowEnabled(program.Field(L"Anschluss:")));
}

TEST(SettingsDialog, UsbProIsSavedWithItsPortAndNoNetworkKeyAndABadPortIsRefusedBesideAnschluss) {
  Sandbox sandbox(L"dialog-usbpro");
  Sandbox::Write(sandbox.UserIni(), kUserSacn);
  ComPort com58(L"COM58");
  ASSERT_TRUE(com58.Defined()) << "cannot define COM58: " << GetLastError();
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window());
  HWND port = program.Field(L"Anschluss:");
  ASSERT_TRUE(port) << "no label \"Anschluss:\"";
  wchar_t className[32] = {};
  GetClassNameW(port, className, 32);
  EXPECT_STREQ(L"ComboBox", className);
  EXPECT_EQ(static_cast<LONG>(CBS_DROPDOWN), GetWindowLongW(port, GWL_STYLE) & 3) << "a list that takes a typed name";

  // The ports that exist are listed: COM58 came into being before the program started.
  ASSERT_NE(CB_ERR, SendMessageW(port, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"COM58")))
      << "COM58 is not in the list of ports";
  program.SelectProtocol(L"USB-Pro");
  ExpectUsbProFields(program);

  program.Type(L"Anschluss:", L"COM257");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return !program.Message(L"Anschluss:").empty(); }, 10000));
  // The parser's own words: the same text the libraries give.
  const std::string bad = "[Output]\r\nProtocol = USB-Pro\r\nPort = COM257\r\n";
  std::string reason = selvane::net::ConfigProblemReason(ParseNetworkConfig(bad.data(), bad.size()));
  reason[0] = static_cast<char>(toupper(reason[0]));
  EXPECT_EQ(std::wstring(reason.begin(), reason.end()), program.Message(L"Anschluss:"));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"unver\u00e4ndert"));
  EXPECT_EQ(kUserSacn, Sandbox::Read(sandbox.UserIni())) << "a refused save touches nothing";

  program.PickPort(L"COM58");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.UserIni()).config.protocol == Protocol::UsbPro; }, 10000))
      << Sandbox::Read(sandbox.UserIni());
  EXPECT_EQ(58u, ParseFile(sandbox.UserIni()).config.port.number);
  EXPECT_EQ(L"", program.Message(L"Anschluss:")) << "the old message goes";

  program.Type(L"Anschluss:", L"com12");
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.UserIni()).config.port.number == 12; }, 10000))
      << Sandbox::Read(sandbox.UserIni());
  EXPECT_TRUE(ParseFile(sandbox.UserIni()).Ok());
  const std::string text = Sandbox::Read(sandbox.UserIni());
  EXPECT_NE(std::string::npos, text.find("Protocol = USB-Pro\r\nPort = com12\r\n")) << text;
  for (const char* key : {"Destination", "Universe", "Priority", "SourceName"})
    EXPECT_EQ(std::string::npos, text.find(key)) << text;
}

TEST(SettingsDialog, AUsbProFileOpensWithUsbProAndItsPortAndTheNetworkFieldsOff) {
  Sandbox sandbox(L"dialog-usbpro-open");
  Sandbox::Write(sandbox.UserIni(), "[Output]\r\nProtocol = usb-pro\r\nPort = \\\\.\\COM7\r\n");
  SettingsProgram program(sandbox);
  ASSERT_TRUE(program.Window());
  EXPECT_EQ(L"USB-Pro", TextOf(program.Field(L"Protokoll:")));
  EXPECT_EQ(L"\\\\.\\COM7", TextOf(program.Field(L"Anschluss:")));
  EXPECT_NE(std::wstring::npos, program.Status().find(L"in Kraft")) << program.Status();
  ExpectUsbProFields(program);

  // Back to a network protocol: the port goes off, and is not written.
  program.SelectProtocol(L"sACN");
  EXPECT_FALSE(IsWindowEnabled(program.Field(L"Anschluss:")));
  EXPECT_TRUE(IsWindowEnabled(program.Field(L"Universum:")));
  program.Click(L"Speichern");
  ASSERT_TRUE(WaitFor([&] { return ParseFile(sandbox.UserIni()).config.protocol == Protocol::Sacn; }, 10000))
      << Sandbox::Read(sandbox.UserIni());
  EXPECT_TRUE(ParseFile(sandbox.UserIni()).Ok());
  EXPECT_EQ(std::string::npos, Sandbox::Read(sandbox.UserIni()).find("Port"));
}

}  // namespace
