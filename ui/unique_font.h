#pragma once
#include <windows.h>

namespace selvane {

// Owns one GDI font.
class UniqueFont {
 public:
  UniqueFont() = default;
  explicit UniqueFont(HFONT font) : font_(font) {}
  ~UniqueFont() { Reset(); }
  UniqueFont(const UniqueFont&) = delete;
  UniqueFont& operator=(const UniqueFont&) = delete;

  HFONT Get() const { return font_; }
  void Reset(HFONT font = nullptr) {
    if (font_) DeleteObject(font_);
    font_ = font;
  }

 private:
  HFONT font_ = nullptr;
};

}  // namespace selvane
