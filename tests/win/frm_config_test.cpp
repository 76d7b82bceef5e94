// The real "Konfiguration" dialog, shown modally on the test thread (headless
// through Wine's null display driver) and driven from a thread timer.
#include "frm_config.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_script.h"
#include "mod_main.h"
#include "module_lifetime.h"

namespace {

using selvane::ShowFrmConfig;
using selvane::ThreadState;
using Step = DialogScript::Step;

const wchar_t* const kOptions[] = {L"DMX-60", L"DMX-120", L"DMX-510USB"};

HWND Child(HWND dialog, const wchar_t* caption) { return FindWindowExW(dialog, nullptr, L"Button", caption); }

bool IsChecked(HWND dialog, const wchar_t* caption) {
  return SendMessageW(Child(dialog, caption), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The captions of the checked options, joined.
std::wstring Checked(HWND dialog) {
  std::wstring checked;
  for (const wchar_t* caption : kOptions) {
    if (IsChecked(dialog, caption)) checked += (checked.empty() ? L"" : L"+") + std::wstring(caption);
  }
  return checked;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[128] = {};
  GetWindowTextW(hwnd, text, 128);
  return text;
}

Step Close(UINT message = WM_CLOSE, WPARAM wParam = 0, LPARAM lParam = 0) {
  return [=](HWND dialog) {
    PostMessageW(dialog, message, wParam, lParam);
    return true;
  };
}

Step Click(const wchar_t* caption) {
  return [=](HWND dialog) {
    HWND option = Child(dialog, caption);
    EXPECT_NE(option, nullptr) << testing::PrintToString(std::wstring(caption));
    SendMessageW(option, BM_CLICK, 0, 0);
    return true;
  };
}

// A key pressed on the focused control, as the keyboard would deliver it.
Step Press(UINT key) {
  return [=](HWND) {
    HWND focus = GetFocus();
    EXPECT_NE(focus, nullptr);
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    return true;
  };
}

Step Check(std::function<void(HWND)> check) {
  return [=](HWND dialog) {
    check(dialog);
    return true;
  };
}

// Shows the dialog for `thread` and runs `steps` against it.
HRESULT RunDialog(ThreadState& thread, std::vector<Step> steps) {
  DialogScript script(std::move(steps));
  const HRESULT hr = ShowFrmConfig(thread);
  EXPECT_TRUE(script.SawDialog());
  EXPECT_TRUE(script.RanAllSteps());
  EXPECT_FALSE(script.TimedOut());
  EXPECT_EQ(FindOwnDialog(), nullptr) << "still open after ShowFrmConfig returned";
  return hr;
}

// A plain visible top-level window of the test thread, standing in for the host's.
class HostWindow {
 public:
  explicit HostWindow(bool visible = true, bool enabled = true) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FrmConfigTestHost";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, L"FrmConfigTestHost", L"host", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (visible) ShowWindow(hwnd_, SW_SHOW);
    if (!enabled) EnableWindow(hwnd_, FALSE);
  }
  ~HostWindow() { DestroyWindow(hwnd_); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND Get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// Calls `onDestroy` when the dialog starts to be destroyed.
class DestroyWatch {
 public:
  explicit DestroyWatch(std::function<void()> onDestroy) : onDestroy_(std::move(onDestroy)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &DestroyWatch::Hook, nullptr, GetCurrentThreadId());
  }
  ~DestroyWatch() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DestroyWatch(const DestroyWatch&) = delete;
  DestroyWatch& operator=(const DestroyWatch&) = delete;
  bool Hooked() const { return hook_ != nullptr; }
  int Calls() const { return calls_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_DESTROYWND && current_ && TextOf(reinterpret_cast<HWND>(wParam)) == L"Konfiguration") {
      ++current_->calls_;
      current_->onDestroy_();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  inline static DestroyWatch* current_ = nullptr;
  std::function<void()> onDestroy_;
  HHOOK hook_ = nullptr;
  int calls_ = 0;
};

// Refuses to create the window with the given caption.
class CreationBlocker {
 public:
  explicit CreationBlocker(std::wstring caption) : caption_(std::move(caption)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &CreationBlocker::Hook, nullptr, GetCurrentThreadId());
  }
  ~CreationBlocker() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  CreationBlocker(const CreationBlocker&) = delete;
  CreationBlocker& operator=(const CreationBlocker&) = delete;
  bool Hooked() const { return hook_ != nullptr; }
  int Blocked() const { return blocked_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && current_) {
      const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
      if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && current_->caption_ == cs->lpszName) {
        ++current_->blocked_;
        return 1;
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  inline static CreationBlocker* current_ = nullptr;
  std::wstring caption_;
  HHOOK hook_ = nullptr;
  int blocked_ = 0;
};

TEST(FrmConfig, OpensWithTheOptionForChannelCountAndClosingWritesItsValue) {
  struct Case {
    int32_t channelCount;
    const wchar_t* shown;
    int32_t afterClose;
  };
  for (const Case& c : {Case{510, L"DMX-510USB", 510}, Case{120, L"DMX-120", 120}, Case{0, L"DMX-60", 64},
                        Case{512, L"DMX-60", 64}, Case{64, L"DMX-60", 64}, Case{-120, L"DMX-60", 64}}) {
    ThreadState thread;
    thread.state.ChannelCount = c.channelCount;
    std::wstring shown;
    EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) { shown = Checked(dialog); }), Close()}), S_OK);
    EXPECT_EQ(shown, c.shown) << c.channelCount;
    EXPECT_EQ(thread.state.ChannelCount, c.afterClose) << c.channelCount;
  }
}

TEST(FrmConfig, ClickedOptionAppliesOnlyWhenTheDialogCloses) {
  struct Case {
    int32_t channelCount;
    const wchar_t* click;
    int32_t afterClose;
  };
  for (const Case& c : {Case{510, L"DMX-120", 120}, Case{120, L"DMX-60", 64}, Case{0, L"DMX-510USB", 510},
                        Case{512, L"DMX-120", 120}}) {
    ThreadState thread;
    thread.state.ChannelCount = c.channelCount;
    std::wstring checked;
    int32_t whileOpen = 0;
    EXPECT_EQ(RunDialog(thread, {Click(c.click), Check([&](HWND dialog) {
                                   checked = Checked(dialog);
                                   whileOpen = thread.state.ChannelCount;
                                 }),
                                 Close()}),
              S_OK);
    EXPECT_EQ(checked, c.click);
    EXPECT_EQ(whileOpen, c.channelCount);
    EXPECT_EQ(thread.state.ChannelCount, c.afterClose);
  }
}

TEST(FrmConfig, EveryWayOfClosingRunsTheUnloadHandler) {
  const LPARAM altDown = 1 | (1 << 29);
  struct Case {
    const char* way;
    Step close;
  };
  const Case cases[] = {
      {"WM_CLOSE", Close()},
      {"system menu Close", Close(WM_SYSCOMMAND, SC_CLOSE)},
      {"Alt+F4", [=](HWND) {
         PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, altDown);
         return true;
       }},
      {"DestroyWindow", [](HWND dialog) {
         DestroyWindow(dialog);
         return true;
       }},
  };
  for (const Case& c : cases) {
    ThreadState thread;
    thread.state.ChannelCount = 0;
    HostWindow host;
    EXPECT_EQ(RunDialog(thread, {Click(L"DMX-120"), c.close}), S_OK) << c.way;
    EXPECT_EQ(thread.state.ChannelCount, 120) << c.way;
    EXPECT_TRUE(IsWindowEnabled(host.Get())) << c.way;
  }
}

TEST(FrmConfig, EnterAndEscapeNeitherCloseNorCancel) {
  ThreadState thread;
  thread.state.ChannelCount = 510;
  bool openAfterKeys = false;
  EXPECT_EQ(RunDialog(thread, {Click(L"DMX-120"), Press(VK_ESCAPE), Press(VK_RETURN),
                               Check([&](HWND dialog) { openAfterKeys = IsWindowVisible(dialog); }), Close()}),
            S_OK);
  EXPECT_TRUE(openAfterKeys);
  EXPECT_EQ(thread.state.ChannelCount, 120);
}

TEST(FrmConfig, DisablesExactlyTheThreadsEnabledVisibleWindowsWhileOpen) {
  HostWindow host;
  HostWindow disabledBefore(true, false);
  HostWindow hidden(false);
  SetActiveWindow(host.Get());
  ThreadState thread;
  thread.state.ChannelCount = 120;

  bool hostEnabled = true, disabledEnabled = true, hiddenEnabled = false, dialogEnabled = false;
  HWND owner = reinterpret_cast<HWND>(1);
  bool hostEnabledAtDestroy = false;
  DestroyWatch watch([&] { hostEnabledAtDestroy = IsWindowEnabled(host.Get()); });
  ASSERT_TRUE(watch.Hooked());
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 hostEnabled = IsWindowEnabled(host.Get());
                                 disabledEnabled = IsWindowEnabled(disabledBefore.Get());
                                 hiddenEnabled = IsWindowEnabled(hidden.Get());
                                 dialogEnabled = IsWindowEnabled(dialog);
                                 owner = GetWindow(dialog, GW_OWNER);
                               }),
                               Close()}),
            S_OK);
  EXPECT_FALSE(hostEnabled);
  EXPECT_FALSE(disabledEnabled);
  EXPECT_TRUE(hiddenEnabled);
  EXPECT_TRUE(dialogEnabled);
  EXPECT_EQ(owner, nullptr);

  EXPECT_EQ(watch.Calls(), 1);
  EXPECT_TRUE(hostEnabledAtDestroy) << "the host must be enabled before the dialog goes";
  EXPECT_TRUE(IsWindowEnabled(host.Get()));
  EXPECT_FALSE(IsWindowEnabled(disabledBefore.Get()));
  EXPECT_TRUE(IsWindowEnabled(hidden.Get()));
  EXPECT_EQ(GetActiveWindow(), host.Get());
}

TEST(FrmConfig, GeometryMatchesTheDesignInTwipsAtTheScreenDpi) {
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(dpiX, 96) << "the test prefix runs at 96 dpi, 15 twips per pixel";
  auto px = [&](int twips) { return (twips * dpiX + 720) / 1440; };
  auto py = [&](int twips) { return (twips * dpiY + 720) / 1440; };

  struct Control {
    const wchar_t* caption;
    int left, top, width, height;  // twips, in the dialog's client area
  };
  // Options at the frame's position (120, 120) plus their own.
  const Control controls[] = {
      {L"Interface-Typ:", 120, 120, 3255, 855},
      {L"DMX-60", 120 + 240, 120 + 240, 1455, 255},
      {L"DMX-120", 120 + 1680, 120 + 240, 1455, 255},
      {L"DMX-510USB", 120 + 240, 120 + 480, 1455, 255},
  };

  ThreadState thread;
  RECT client{};
  std::vector<RECT> rects;
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 GetClientRect(dialog, &client);
                                 for (const Control& c : controls) {
                                   RECT r{};
                                   GetWindowRect(Child(dialog, c.caption), &r);
                                   MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
                                   rects.push_back(r);
                                 }
                               }),
                               Close()}),
            S_OK);
  EXPECT_EQ(client.right - client.left, px(3495));
  EXPECT_EQ(client.bottom - client.top, py(1095));
  if (dpiX == 96 && dpiY == 96) {
    EXPECT_EQ(client.right, 233);
    EXPECT_EQ(client.bottom, 73);
  }
  ASSERT_EQ(rects.size(), std::size(controls));
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const Control& c = controls[i];
    const RECT& r = rects[i];
    EXPECT_EQ(r.left, px(c.left)) << testing::PrintToString(std::wstring(c.caption));
    EXPECT_EQ(r.top, py(c.top)) << testing::PrintToString(std::wstring(c.caption));
    EXPECT_EQ(r.right - r.left, px(c.width)) << testing::PrintToString(std::wstring(c.caption));
    EXPECT_EQ(r.bottom - r.top, py(c.height)) << testing::PrintToString(std::wstring(c.caption));
  }
}

TEST(FrmConfig, IsAFixedToolWindowCenteredOnTheScreen) {
  ThreadState thread;
  std::wstring title;
  LONG_PTR style = 0, exStyle = 0;
  RECT window{};
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 title = TextOf(dialog);
                                 style = GetWindowLongPtrW(dialog, GWL_STYLE);
                                 exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
                                 GetWindowRect(dialog, &window);
                               }),
                               Close()}),
            S_OK);
  EXPECT_EQ(title, L"Konfiguration");
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU) << "close box";
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "no minimise or maximise box";
  EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
  EXPECT_FALSE(style & WS_CHILD);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "small caption, no task-bar entry";
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);

  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

TEST(FrmConfig, ControlsAreAFrameAndThreeOptionsInTabOrderWithTheDialogFont) {
  ThreadState thread;
  std::vector<std::wstring> order;
  std::vector<LONG_PTR> kinds;
  LOGFONTW font{};
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                                   order.push_back(TextOf(c));
                                   kinds.push_back(GetWindowLongPtrW(c, GWL_STYLE) & BS_TYPEMASK);
                                 }
                                 auto hfont = reinterpret_cast<HFONT>(
                                     SendMessageW(Child(dialog, L"DMX-60"), WM_GETFONT, 0, 0));
                                 if (hfont) GetObjectW(hfont, sizeof font, &font);
                               }),
                               Close()}),
            S_OK);
  EXPECT_EQ(order, (std::vector<std::wstring>{L"Interface-Typ:", L"DMX-120", L"DMX-60", L"DMX-510USB"}));
  EXPECT_EQ(kinds, (std::vector<LONG_PTR>{BS_GROUPBOX, BS_AUTORADIOBUTTON, BS_AUTORADIOBUTTON, BS_AUTORADIOBUTTON}));
  EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg");
}

TEST(FrmConfig, ArrowKeysMoveTheCheckAndTabKeepsToTheCheckedOption) {
  ThreadState thread;
  thread.state.ChannelCount = 120;
  std::vector<std::wstring> focused, checked, tabStops;
  auto note = [&] {
    return Check([&](HWND dialog) {
      focused.push_back(TextOf(GetFocus()));
      checked.push_back(Checked(dialog));
      std::wstring stops;
      for (const wchar_t* caption : kOptions)
        if (GetWindowLongPtrW(Child(dialog, caption), GWL_STYLE) & WS_TABSTOP) stops += caption;
      tabStops.push_back(stops);
    });
  };
  // Group order is the tab order: DMX-120, DMX-60, DMX-510USB, round again.
  EXPECT_EQ(RunDialog(thread, {note(), Press(VK_DOWN), note(), Press(VK_RIGHT), note(), Press(VK_DOWN), note(),
                               Press(VK_UP), note(), Press(VK_LEFT), note(), Press(VK_TAB), note(), Close()}),
            S_OK);
  const std::vector<std::wstring> expected{L"DMX-120", L"DMX-60", L"DMX-510USB", L"DMX-120",
                                           L"DMX-510USB", L"DMX-60", L"DMX-60"};
  EXPECT_EQ(focused, expected);
  EXPECT_EQ(checked, expected);
  EXPECT_EQ(tabStops, expected) << "the checked option is the group's one tab stop";
  EXPECT_EQ(thread.state.ChannelCount, 64);
}

TEST(FrmConfig, KeepsItsWindowObjectAndLoadsAfreshOnEveryShow) {
  ThreadState thread;
  thread.state.ChannelCount = 510;
  const long before = selvane::LiveWindowCount();
  long whileOpen = 0;
  HWND first = nullptr;
  std::wstring shownFirst, shownSecond;
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 whileOpen = selvane::LiveWindowCount();
                                 first = dialog;
                                 shownFirst = Checked(dialog);
                               }),
                               Click(L"DMX-60"), Close()}),
            S_OK);
  EXPECT_EQ(whileOpen, before + 1);
  EXPECT_EQ(selvane::LiveWindowCount(), before);
  EXPECT_FALSE(IsWindow(first)) << "the window is destroyed at close";
  const selvane::FrmConfig* kept = thread.frmConfig.get();
  ASSERT_NE(kept, nullptr);

  thread.state.ChannelCount = 120;
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) { shownSecond = Checked(dialog); }), Close()}), S_OK);
  EXPECT_EQ(thread.frmConfig.get(), kept);
  EXPECT_EQ(shownFirst, L"DMX-510USB");
  EXPECT_EQ(shownSecond, L"DMX-120");
  EXPECT_EQ(selvane::LiveWindowCount(), before);
}

TEST(FrmConfig, QuitMessageClosesTheDialogAndReachesTheHostLoop) {
  ThreadState thread;
  thread.state.ChannelCount = 0;
  EXPECT_EQ(RunDialog(thread, {[](HWND) {
              PostQuitMessage(7);
              return true;
            }}),
            S_OK);
  EXPECT_EQ(thread.state.ChannelCount, 64);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST(FrmConfig, SecondShowWhileOpenFailsAndLeavesTheFirst) {
  ThreadState thread;
  thread.state.ChannelCount = 510;
  HRESULT nested = S_OK;
  bool stillOpen = false;
  EXPECT_EQ(RunDialog(thread, {Check([&](HWND dialog) {
                                 nested = ShowFrmConfig(thread);
                                 stillOpen = IsWindowVisible(dialog);
                               }),
                               Click(L"DMX-120"), Close()}),
            S_OK);
  EXPECT_TRUE(FAILED(nested));
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(thread.state.ChannelCount, 120);
}

TEST(FrmConfig, WindowThatCannotBeCreatedFailsAndLeavesChannelCount) {
  HostWindow host;
  const long before = selvane::LiveWindowCount();
  for (const wchar_t* refused : {L"Konfiguration", L"Interface-Typ:", L"DMX-510USB"}) {
    ThreadState thread;
    thread.state.ChannelCount = 0;
    {
      CreationBlocker blocker(refused);
      ASSERT_TRUE(blocker.Hooked());
      EXPECT_TRUE(FAILED(ShowFrmConfig(thread))) << testing::PrintToString(std::wstring(refused));
      EXPECT_EQ(blocker.Blocked(), 1);
    }
    EXPECT_EQ(thread.state.ChannelCount, 0);
    EXPECT_EQ(selvane::LiveWindowCount(), before);
    EXPECT_EQ(FindWindowW(nullptr, L"Konfiguration"), nullptr);
    EXPECT_TRUE(IsWindowEnabled(host.Get()));

    // The kept object shows normally once the window can be had.
    EXPECT_EQ(RunDialog(thread, {Close()}), S_OK);
    EXPECT_EQ(thread.state.ChannelCount, 64);
  }
}

}  // namespace
