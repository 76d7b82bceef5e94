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

// The dialog font at `points` for a screen of `dpiY`: "MS Shell Dlg", else the
// system's message font; null leaves the controls the system font.
inline HFONT CreateDialogFont(int points, int dpiY) noexcept {
  if (HFONT font = CreateFontW(-MulDiv(points, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               L"MS Shell Dlg"))
    return font;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return CreateFontIndirectW(&metrics.lfMessageFont);
  return nullptr;
}

}  // namespace selvane
