#pragma once

namespace selvane {

// A per-thread window object that the thread state owns and keeps once created.
class ThreadWindow {
 public:
  virtual ~ThreadWindow() = default;
};

}  // namespace selvane
