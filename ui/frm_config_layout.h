#pragma once

// The designed geometry of frmConfig, in twips. The options' positions are
// relative to Frame1, which contains them.
namespace selvane::frm_config_layout {

struct TwipsRect {
  int left, top, width, height;
};

inline constexpr int kClientWidth = 3495;
inline constexpr int kClientHeight = 1095;

inline constexpr TwipsRect kFrame1{120, 120, 3255, 855};
inline constexpr TwipsRect kOptDmx60{240, 240, 1455, 255};
inline constexpr TwipsRect kOptDmx120{1680, 240, 1455, 255};
inline constexpr TwipsRect kOptDmx510Usb{240, 480, 1455, 255};

// Character size of the dialog font.
inline constexpr int kFontPoints = 8;

}  // namespace selvane::frm_config_layout
