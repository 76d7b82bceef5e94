#pragma once
// Drives the modal "Konfiguration" dialog from a thread timer while the
// plug-in's modal loop runs: waits until the dialog of this process is
// visible, optionally clicks an option, keeps it open a while, then closes it.
#include <windows.h>

#include <string>

#include "own_dialog.h"

class DialogDriver {
 public:
  // `click`: caption of the option to click, or empty for none.
  explicit DialogDriver(std::wstring click = L"", DWORD holdMs = 0, UINT closeMessage = WM_CLOSE)
      : click_(std::move(click)), holdMs_(holdMs), closeMessage_(closeMessage) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 10, &DialogDriver::OnTimer);
    startedAt_ = GetTickCount64();
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  bool SawDialog() const { return openedAt_ != 0; }
  ULONGLONG OpenedAt() const { return openedAt_; }
  ULONGLONG ClosedAt() const { return closedAt_; }
  // What the dialog showed when it was found: the caption of the checked option.
  const std::wstring& CheckedWhenOpened() const { return checkedWhenOpened_; }
  // Whether `window` was disabled while the dialog was open.
  void Watch(HWND window) { watched_ = window; }
  bool WatchedWasDisabled() const { return watchedDisabled_; }

  static HWND FindOption(HWND dialog, const std::wstring& caption) {
    OptionSearch search{&caption, nullptr};
    EnumChildWindows(dialog, &DialogDriver::MatchOption, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  struct OptionSearch {
    const std::wstring* caption;
    HWND found;
  };

  static BOOL CALLBACK MatchOption(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<OptionSearch*>(param);
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 64);
    if (*search->caption == text) {
      search->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }

  static std::wstring CheckedOption(HWND dialog) {
    for (const wchar_t* caption : {L"DMX-60", L"DMX-120", L"DMX-510USB"}) {
      HWND option = FindOption(dialog, caption);
      if (option && SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED) return caption;
    }
    return L"";
  }

  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* self = current_;
    if (!self || self->closedAt_) return;
    const ULONGLONG now = GetTickCount64();
    HWND dialog = FindOwnDialog();
    if (!dialog) {
      // Give up after a while so that a broken dialog fails the test instead of hanging it.
      if (!self->openedAt_ && now - self->startedAt_ > 10000) self->closedAt_ = now;
      return;
    }
    if (!self->openedAt_) {
      self->openedAt_ = now;
      self->checkedWhenOpened_ = CheckedOption(dialog);
      if (self->watched_) self->watchedDisabled_ = !IsWindowEnabled(self->watched_);
      if (!self->click_.empty())
        if (HWND option = FindOption(dialog, self->click_)) SendMessageW(option, BM_CLICK, 0, 0);
    }
    if (now - self->openedAt_ >= self->holdMs_) {
      self->closedAt_ = now;
      if (self->closeMessage_ == WM_SYSCOMMAND) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      else PostMessageW(dialog, self->closeMessage_, 0, 0);
    }
  }

  inline static DialogDriver* current_ = nullptr;
  std::wstring click_;
  DWORD holdMs_;
  UINT closeMessage_;
  UINT_PTR timer_ = 0;
  ULONGLONG startedAt_ = 0, openedAt_ = 0, closedAt_ = 0;
  std::wstring checkedWhenOpened_;
  HWND watched_ = nullptr;
  bool watchedDisabled_ = false;
};
