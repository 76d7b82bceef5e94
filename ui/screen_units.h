#pragma once
#include <windows.h>

namespace selvane {

inline constexpr int kTwipsPerInch = 1440;

struct ScreenDpi {
  int x = 96;
  int y = 96;
};

// The screen's logical resolution; 96 dpi if the screen cannot be asked.
inline ScreenDpi CurrentScreenDpi() noexcept {
  ScreenDpi dpi;
  if (HDC screen = GetDC(nullptr)) {
    const int x = GetDeviceCaps(screen, LOGPIXELSX);
    const int y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (x > 0) dpi.x = x;
    if (y > 0) dpi.y = y;
  }
  return dpi;
}

// Twips to pixels along one axis, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) noexcept { return MulDiv(twips, dpi, kTwipsPerInch); }

}  // namespace selvane
