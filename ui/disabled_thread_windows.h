#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>

namespace selvane {

// Modality without an owner: the calling thread's top-level windows that are
// enabled and visible are disabled while a modal window is up, and exactly
// those are enabled again afterwards. Windows that were disabled or hidden
// before are left alone.
class DisabledThreadWindows {
 public:
  DisabledThreadWindows() = default;
  ~DisabledThreadWindows() { Reenable(); }
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

  // Disables them, all but `modal`. Fails only when memory runs out, and then
  // disables nothing.
  HRESULT DisableAllExcept(HWND modal) noexcept;
  // Enables those that were disabled, once.
  void Reenable() noexcept;

 private:
  std::unique_ptr<HWND[]> windows_;
  std::size_t count_ = 0;
};

}  // namespace selvane
