#pragma once
// The designed geometry of the "Selvane Netzwerk" window, in twips (15 to a
// pixel at 96 dpi), and its font.
namespace selvane::netsettings::layout {

struct TwipsRect {
  int left, top, width, height;
};

inline constexpr int kPx = 15;  // twips per pixel at 96 dpi
inline constexpr int kClientWidth = 620 * kPx;
inline constexpr int kClientHeight = 512 * kPx;
inline constexpr int kFontPoints = 8;

// Left column: labels; middle: fields; right: the message beside a field.
inline constexpr int kLabelLeft = 12 * kPx, kLabelWidth = 92 * kPx;
inline constexpr int kFieldLeft = 108 * kPx, kFieldWidth = 170 * kPx, kFieldHeight = 21 * kPx;
inline constexpr int kWideWidth = 500 * kPx;  // a field across middle and right
// Two lines, no more than a row: the longest reason is about a hundred characters.
inline constexpr int kMessageLeft = 286 * kPx, kMessageWidth = 322 * kPx, kMessageHeight = 32 * kPx;
inline constexpr int kLabelDrop = 3 * kPx;  // a label's text level with its field's

inline constexpr int kPathTop = 12 * kPx;
inline constexpr TwipsRect kFileStatus{kFieldLeft, 38 * kPx, kWideWidth, 40 * kPx};
inline constexpr int kFirstFieldTop = 80 * kPx, kFieldPitch = 32 * kPx;
// A drop-down list's height includes its open list.
inline constexpr int kListHeight = 80 * kPx;

inline constexpr int kButtonTop = 280 * kPx, kButtonWidth = 88 * kPx, kButtonHeight = 25 * kPx;
inline constexpr int kSaveLeft = kFieldLeft, kTestLeft = 202 * kPx, kCloseLeft = 520 * kPx;
inline constexpr TwipsRect kTestResult{kFieldLeft, 314 * kPx, kWideWidth, 34 * kPx};

inline constexpr TwipsRect kLogLabel{kLabelLeft, 362 * kPx, 360 * kPx, 16 * kPx};
inline constexpr TwipsRect kRefresh{kCloseLeft, 356 * kPx, kButtonWidth, kButtonHeight};
inline constexpr TwipsRect kLog{kLabelLeft, 386 * kPx, 596 * kPx, 114 * kPx};

}  // namespace selvane::netsettings::layout
