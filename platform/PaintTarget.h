#pragma once
// The drawing side of the framework and of the window system: points and rectangles, colour
// values, fonts, brushes, canvases and the device context they draw on, with the text call.
// A device context here is a TPaintTarget: a painter that is active (a widget's paint event),
// an image (painted through a painter opened for each operation), or nothing at all (a memory
// context without a bitmap, which can still measure text).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class QPainter;

// ---------------------------------------------------------------------------------------------
// Points and rectangles. Which corner a rectangle's Right and Bottom name depends on its user:
// the raster code counts them inside, the text call and the canvas count them outside.

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int32_t X, int32_t Y) { return TPoint{X, Y}; }
inline TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return TRect{Left, Top, Right, Bottom};
}
// Corners given as points (overflow of the coordinates is the caller's arithmetic).
inline TRect Rect(TPoint TopLeft, TPoint BottomRight) {
  return TRect{TopLeft.X, TopLeft.Y, BottomRight.X, BottomRight.Y};
}

// ---------------------------------------------------------------------------------------------
// Colour values of the framework: $00BBGGRR, or a system colour (high byte $80 or $FF, the low
// byte the system colour's number).

using TColor = uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWindowText = 0x80000008;
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clWindow = 0x80000005;

// The $00BBGGRR value a colour stands for; system colours come from a fixed table.
uint32_t ColorToRGB(TColor Color);
QColor ColorToQColor(TColor Color);

// ---------------------------------------------------------------------------------------------
// Fonts

enum TFontStyle : uint8_t { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
// Bit i set: style i is on (the stored byte of a style set).
using TFontStyles = uint8_t;
inline constexpr TFontStyles FontStyleBit(TFontStyle S) { return TFontStyles(1u << S); }

// Screen resolution in dots per inch that converts point sizes to pixel heights.
inline constexpr int ScreenPixelsPerInch = 96;

class TFont {
public:
  // A negative Height is the character height in pixels (the em size); a positive Height is
  // the cell height (ascent plus descent); 0 asks for the default size.
  std::string Name = "MS Sans Serif";
  int32_t Height = -11;
  TFontStyles Style = 0;
  TColor Color = clWindowText;

  // Points at ScreenPixelsPerInch, rounded as the framework does.
  int32_t Size() const;
  void SetSize(int32_t Points);
  void Assign(const TFont& Source) { *this = Source; }

  // The Qt font this font selects. Faces missing here ("Arial", "MS Sans Serif",
  // "Courier New", "Times New Roman") resolve to installed metric-compatible ones.
  QFont ToQFont() const;
};

// Makes the usual Windows face names resolve to installed substitutes; idempotent.
void InstallFontSubstitutes();

// ---------------------------------------------------------------------------------------------
// Brushes

enum class TBrushStyle : uint8_t { bsSolid, bsClear };

struct TBrush {
  TBrushStyle Style = TBrushStyle::bsSolid;
  TColor Color = clWhite;
};

// ---------------------------------------------------------------------------------------------
// Device contexts and the GDI calls on them

namespace plat {

// Stretch modes of StretchToDC.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;

// DrawText flags.
inline constexpr uint32_t DT_LEFT = 0x000;
inline constexpr uint32_t DT_CENTER = 0x001;
inline constexpr uint32_t DT_RIGHT = 0x002;
inline constexpr uint32_t DT_NOCLIP = 0x100;
inline constexpr uint32_t DT_CALCRECT = 0x400;
inline constexpr uint32_t DT_NOPREFIX = 0x800;

// The 32-bit pixels a context's output lands in, for writing them directly: the context's
// point (X, Y) is the picture's point (X * Ratio + OffsetX, Y * Ratio + OffsetY), and only pixels
// inside Clip (the picture's coordinates, within its bounds) may be written. Ratio is the
// device's pixel ratio (Qt's scaling of the screen); it is 1 unless the picture is scaled.
struct TDirectPixels {
  uint32_t* Bits = nullptr;  // the picture's pixel (0, 0)
  ptrdiff_t Stride = 0;      // in pixels
  double Ratio = 1.0;
  int OffsetX = 0;
  int OffsetY = 0;
  QRegion Clip;
};

// How a painter on a scaled device (a device pixel ratio other than 1) puts the context's
// coordinates on the device's pixels when the painter itself only moves: the context's point
// (X, Y) is the device's point (X * Ratio + OffsetX, Y * Ratio + OffsetY). Bounds are the
// device pixels that can be seen.
struct TDeviceScale {
  double Ratio = 1.0;
  double OffsetX = 0;
  double OffsetY = 0;
  QRect Bounds;
};

class TPaintTarget {
public:
  // A memory context with nothing selected: text can be measured, drawing does nothing.
  TPaintTarget() = default;
  // A painter that is active for the lifetime of this context (a widget's paint event).
  explicit TPaintTarget(QPainter* Painter) : FPainter(Painter) {}
  // An image that is painted through a painter opened for each operation, so the image's
  // memory may be read and written directly between operations.
  explicit TPaintTarget(QImage* Image) : FImage(Image) {}
  TPaintTarget(const TPaintTarget&) = delete;
  TPaintTarget& operator=(const TPaintTarget&) = delete;

  QPainter* Painter() const { return FPainter; }
  QImage* Image() const { return FImage; }
  bool CanDraw() const;
  // Runs Draw with a painter on the target; nothing happens when there is nothing to paint on.
  void Paint(const std::function<void(QPainter&)>& Draw);
  // Puts an image at (X, Y) unscaled, as a block copy (no blending).
  void PutImage(int X, int Y, const QImage& Image);
  // The pixels behind the context when a block copy may write them straight: an image of
  // 32-bit pixels, or the raster picture an active painter draws into (a widget's backing
  // store) when its transform only moves (on a scaled picture: scales by the picture's ratio
  // and moves by whole pixels) and it paints opaquely. False otherwise: the caller goes
  // through PutImage or PutDeviceImage.
  bool DirectPixels(TDirectPixels& Px) const;
  // True for an active painter on a scaled device whose own transform only moves (see
  // TDeviceScale); false otherwise, and always at a ratio of 1.
  bool DeviceScale(TDeviceScale& S) const;
  // Puts an image unscaled with its top-left at the device's pixel (X, Y), as a block copy;
  // for a painter that DeviceScale describes.
  void PutDeviceImage(int X, int Y, const QImage& Image);

  // The objects selected into the context (set by a canvas before each use).
  QFont Font;
  QColor TextColor = Qt::black;
  bool OpaqueBackground = false;
  QColor BackColor = Qt::white;
  int StretchMode = BLACKONWHITE;

private:
  QPainter* FPainter = nullptr;
  QImage* FImage = nullptr;
};

// Sets the stretch mode and returns the previous one (0 without a context).
int SetStretchBltMode(TPaintTarget* DC, int Mode);

// Lays out Text in lines split at CR, LF or CR LF (no wrapping) with the selected font: line
// height is the font's ascent plus descent, each line aligned by DT_LEFT, DT_CENTER or DT_RIGHT
// within R (Right and Bottom outside). With DT_CALCRECT nothing is drawn and R keeps its
// top-left and grows to the widest line and all lines. Without DT_NOCLIP drawing is clipped to
// R. '&' is always literal. Count < 0 takes the whole text, otherwise its first Count bytes.
// Returns the height of the text.
int DrawText(TPaintTarget* DC, const std::string& Text, int Count, TRect& R, uint32_t Flags);

}  // namespace plat

// ---------------------------------------------------------------------------------------------
// Canvas: a font and a brush over a device context.

class TCanvas {
public:
  explicit TCanvas(plat::TPaintTarget* DC = nullptr) : FHandle(DC) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TFont Font;
  TBrush Brush;

  // The context with this canvas's font, font colour and brush selected into it.
  plat::TPaintTarget* Handle();
  void SetHandle(plat::TPaintTarget* DC) { FHandle = DC; }

  // Draws a picture unscaled with its top-left at (X, Y); parts outside are cut off.
  void Draw(int X, int Y, const QImage& Graphic);
  // Fills R (Right and Bottom outside) with the brush; a clear brush fills nothing.
  void FillRect(const TRect& R);

private:
  plat::TPaintTarget* FHandle;
};
