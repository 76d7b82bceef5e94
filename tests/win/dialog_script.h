#pragma once
// Acts on the modal "Konfiguration" dialog of this process while its modal
// loop runs on the test thread: a thread timer runs one step per tick once the
// dialog is visible. A step returns true to go on to the next one. Whatever
// happens, the dialog is closed after a timeout, so that no test hangs.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "own_dialog.h"

class DialogScript {
 public:
  using Step = std::function<bool(HWND dialog)>;

  explicit DialogScript(std::vector<Step> steps, DWORD timeoutMs = 10000)
      : steps_(std::move(steps)), timeoutMs_(timeoutMs), startedAt_(GetTickCount64()) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 10, &DialogScript::OnTimer);
  }
  ~DialogScript() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  bool SawDialog() const { return sawDialog_; }
  bool RanAllSteps() const { return next_ == steps_.size(); }
  bool TimedOut() const { return timedOut_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    DialogScript* self = current_;
    if (!self) return;
    HWND dialog = FindOwnDialog();
    const ULONGLONG elapsed = GetTickCount64() - self->startedAt_;
    if (elapsed > self->timeoutMs_) {
      self->timedOut_ = true;
      if (dialog) {
        // Closing first; destroying if even that is ignored.
        if (elapsed > self->timeoutMs_ + 2000) DestroyWindow(dialog);
        else PostMessageW(dialog, WM_CLOSE, 0, 0);
      }
      return;
    }
    if (!dialog || self->RanAllSteps()) return;
    self->sawDialog_ = true;
    if (self->steps_[self->next_](dialog)) ++self->next_;
  }

  inline static DialogScript* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  DWORD timeoutMs_;
  ULONGLONG startedAt_;
  UINT_PTR timer_ = 0;
  bool sawDialog_ = false;
  bool timedOut_ = false;
};
