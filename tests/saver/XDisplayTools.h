#pragma once
// Plain access to an X display for the whole-program tests: screenshots, window making and
// the screen size, kept apart from Qt (the X headers' macros clash with it).

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace xtools {

struct TShot {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // $00RRGGBB, rows top first
  uint32_t At(int X, int Y) const { return Pixels[static_cast<size_t>(Y) * Width + X]; }
};

struct TRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
  friend std::ostream& operator<<(std::ostream& O, const TRect& R) {
    return O << "(" << R.X << "," << R.Y << " " << R.Width << "x" << R.Height << ")";
  }
};

class TDisplay {
public:
  // Display name empty: $DISPLAY.
  explicit TDisplay(const std::string& Name = {});
  ~TDisplay();
  TDisplay(const TDisplay&) = delete;
  TDisplay& operator=(const TDisplay&) = delete;

  bool Ok() const { return FDisplay != nullptr; }
  // The root window's current size (asked anew each time).
  void ScreenSize(int& Width, int& Height);
  // The pixels of a rectangle of the root window.
  TShot Grab(int X, int Y, int Width, int Height);
  // A mapped top-level window with a plain background; its id.
  uint32_t MakeWindow(int X, int Y, int Width, int Height, uint32_t Background);
  void DestroyWindow(uint32_t Id);
  // How many mapped top-level windows (direct children of the root) are there.
  int MappedTopLevels() { return static_cast<int>(MappedTopLevelRects().size()); }
  // Where they are, bottom of the stack first.
  std::vector<TRect> MappedTopLevelRects();
  // Whether the pointer shows no cursor (every pixel of its image transparent).
  bool CursorHidden();
  // Whether the keyboard's focus lies in a mapped top-level window: a key then goes there,
  // wherever the pointer is.
  bool FocusInMappedTopLevel();
  // Gives the screen's output a 60 Hz mode named "WxH_60" of each size (or takes the one an
  // earlier call made), as a user's desktop offers several, and shows the one of Current on a
  // screen of its size; false when the server refused.
  bool AddModes(const std::vector<std::pair<int, int>>& Sizes, std::pair<int, int> Current);
  // The name of the mode the screen's output shows; empty when none.
  std::string OutputMode();

private:
  void* FDisplay = nullptr;
};

}  // namespace xtools
