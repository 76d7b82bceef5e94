#pragma once
// The one scoped guard for SRW locks: held from construction to the end of
// the scope, exclusive or shared.
#include <windows.h>

namespace selvane {

class srw_lock_guard {
 public:
  enum Mode { exclusive, shared };
  explicit srw_lock_guard(SRWLOCK& lock, Mode mode = exclusive) noexcept : lock_(lock), mode_(mode) {
    if (mode_ == exclusive) AcquireSRWLockExclusive(&lock_);
    else AcquireSRWLockShared(&lock_);
  }
  ~srw_lock_guard() {
    if (mode_ == exclusive) ReleaseSRWLockExclusive(&lock_);
    else ReleaseSRWLockShared(&lock_);
  }
  srw_lock_guard(const srw_lock_guard&) = delete;
  srw_lock_guard& operator=(const srw_lock_guard&) = delete;

 private:
  SRWLOCK& lock_;
  Mode mode_;
};

}  // namespace selvane
