#pragma once
// Memory pictures of the show: 32-bit rasters with their own canvas, alpha channels, the pixel,
// point and rectangle routines, text measuring, and the list of display modes.
//
// A pixel is $00RRGGBB (blue in the lowest byte); the top byte carries no meaning. Rectangles of
// the raster routines are inclusive: Right and Bottom are the last column and row inside.

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Classes.h"
#include "platform/DisplayModes.h"
#include "platform/PaintTarget.h"
#include "platform/SysUtils.h"

using TPixel = uint32_t;
// A picture of the framework (loaded media, design-time images).
using TGraphic = QImage;

// The pixel array is declared for indices 0 to $1FFFFFF: a raster of more pixels is refused.
inline constexpr int64_t MaxRasterPixels = 0x2000000;

// A top-down 32-bit picture whose canvas draws into the same memory. Sizes are rounded up to
// even. When the size is not positive or too large the raster is refused: it keeps its sizes
// but has no pixel memory (Bits nullptr) and no canvas, and every pixel operation on it does
// nothing. Width, Height and Bits never change after construction.
class TDIBRaster : public TObject {
public:
  TDIBRaster(int AWidth, int AHeight);
  ~TDIBRaster() override;
  TDIBRaster(const TDIBRaster&) = delete;
  TDIBRaster& operator=(const TDIBRaster&) = delete;
  std::string ClassName() const override { return "TDIBRaster"; }

  int Width = 0;
  int Height = 0;
  // Width x Height pixels, rows top first, each row Width pixels; aligned for vector loads.
  TPixel* Bits = nullptr;
  // The memory context that holds the picture; its canvas draws into Bits.
  std::unique_ptr<plat::TPaintTarget> DC;
  std::unique_ptr<TCanvas> Canvas;

  // Number of pixels (0 for a refused raster).
  size_t PixelCount() const;

  // Unscaled copy of the block Width x Height at (SrcX, SrcY) to (DestX, DestY) of DC; a
  // negative size raises the range error.
  void DrawToDC(plat::TPaintTarget* ADC, int SrcX, int SrcY, int DestX, int DestY, int AWidth,
                int AHeight);
  // Scaled copy; the stretch mode is set on the context and stays set. The context stretches by
  // dropping or repeating rows and columns, never by averaging.
  void StretchToDC(plat::TPaintTarget* ADC, int SrcX, int SrcY, int SrcWidth, int SrcHeight,
                   int DestX, int DestY, int DestWidth, int DestHeight, int Mode);
  // Keeps (2^Shift - 1) / 2^Shift of every colour channel: c - ceil(c / 2^Shift). Shift 0 (and
  // below) gives black; shifts from 8 upwards give c - 1 for every channel above 0.
  void Fade(int Shift);
  // Copies the pixels into Dest (as many as the smaller of the two holds).
  void CopyTo(TDIBRaster* Dest) const;
  // Copies R, clamped to own bounds, to the same place in Dest, addressing both with own Width
  // (Dest is a raster of the same size); nothing is written beyond Dest's pixels.
  void CopyRect(TDIBRaster* Dest, const TRect& R) const;
  // Fills itself from the region of Source whose top-left is (X, Y); uncovered pixels stay.
  void CopyFromAt(const TDIBRaster* Source, int X, int Y);
  // Copies itself into Dest with its top-left at (X, Y), clipped.
  void DrawTo(TDIBRaster* Dest, int X, int Y) const;
  // Adds half of Color to (X, Y) and a quarter to its four neighbours, saturating; only for
  // 1 <= X <= Width - 2 and 1 <= Y <= Height - 2.
  void PlotGlow(int X, int Y, TPixel Color);
  // Sets R, clamped to own bounds, to Color (stored as given, top byte included).
  void FillRect(const TRect& R, TPixel Color);
  void Clear(TPixel Color);
  TRect BoundsRect() const;
  TPoint BottomRight() const;

private:
  QImage FImage;  // wraps Bits without copying; never handed out, so it never detaches
};

// One transparency byte per pixel, in the order of a raster's pixels. Sizes are rounded up to
// even; the contents are 0 until written.
class TAlphaChannel : public TObject {
public:
  TAlphaChannel(int AWidth, int AHeight);
  ~TAlphaChannel() override;
  TAlphaChannel(const TAlphaChannel&) = delete;
  TAlphaChannel& operator=(const TAlphaChannel&) = delete;
  std::string ClassName() const override { return "TAlphaChannel"; }

  int Width = 0;
  int Height = 0;
  uint8_t* Data = nullptr;

  size_t PixelCount() const;
  // Dest := B + floor((A - B) * alpha / 256) per colour channel: alpha 255 shows (nearly) A,
  // alpha 0 shows B exactly. Dest may be A or B. Covers the channel's pixels, or fewer when a
  // raster holds fewer; the top byte of Dest becomes 0.
  void Blend(const TDIBRaster* A, const TDIBRaster* B, TDIBRaster* Dest) const;
  void Fill(uint8_t Value);
  void FillRect(const TRect& R, uint8_t Value);
};

// ---------------------------------------------------------------------------------------------
// Free routines

// The shared measuring canvas (a memory context with no picture), made on first use.
TCanvas& TextCanvas();
// Size of Text drawn with Font (FontHeight, when not 0, replaces the font's height): one more
// than the laid-out extent in each direction. Ampersands are literal.
TPoint MeasureText(const TFont& Font, const std::string& Text, uint32_t Flags, int FontHeight);
int RectWidth(const TRect& R);
int RectHeight(const TRect& R);
// Per colour channel min(255, a + (b shr Shift)).
TPixel AddShiftedSat(TPixel A, TPixel B, uint8_t Shift);
// Red and blue exchanged, top byte 0: a colour value of the framework becomes a pixel.
uint32_t SwapRB(uint32_t Color);
// A + (B - A) * T in single precision, truncated toward zero.
int Lerp(int A, int B, float T);
// A new raster of Graphic's size (rounded up to even) with Graphic drawn at (0, 0).
std::unique_ptr<TDIBRaster> RasterFromGraphic(const TGraphic& Graphic);
// Odd values move away from zero: 63 -> 64, -3 -> -4.
void MakeEven(int& A, int& B);
TPoint PointAdd(TPoint A, TPoint B);
TPoint PointSub(TPoint A, TPoint B);
// Clamps each coordinate of R into Bounds separately; never empties R.
void ClipRect(TRect& R, const TRect& Bounds);

// ---------------------------------------------------------------------------------------------
// Display modes

RIZ_DECLARE_EXCEPTION(EGraphicException, Exception);

// A listed mode: a copy of the record the display gave.
class TScreenModeRecord : public TObject {
public:
  explicit TScreenModeRecord(const plat::TDevMode& M) : Mode(M) {}
  plat::TDevMode Mode;
};

// The display's modes in its own order, each with a description such as
// "1024x768, 32 bit, 60 Hz, colored, non interlaced" and its record as the object. Built once
// (on first use) and kept until FreeScreenModes.
TStringList* ScreenModes();
void BuildScreenModes();
void FreeScreenModes();
// Index >= 0: the listed record; Index < 0: the current settings (Mode unchanged when they
// cannot be read).
void GetScreenMode(int Index, plat::TDevMode& Mode);
// Index >= 0: switches to the listed mode for the run of the program; Index < 0: back to the
// default mode. Raises EGraphicException when the display refuses.
void ChangeScreenMode(int Index);
// The first listed mode of Width x Height with the current depth, frequency and flags.
bool FindScreenMode(int Width, int Height, int& Index);

// ---------------------------------------------------------------------------------------------
// The plain and fast pixel paths, exposed for the tests and the benchmarks.

namespace gfx {
void FadePlain(TPixel* P, size_t Count, int Shift);
void BlendPlain(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count);
// Whether this build and processor have the vector paths.
bool FastPathsAvailable();
// The widest vector unit the fast paths use: the best the processor has, unless pinned lower
// (tests and benchmarks pin each one in turn; the request is clamped to what exists).
// SSSE3 differs from SSE2 in the stretch only.
enum class TVectorLevel : uint8_t { None, SSE2, SSSE3, AVX2 };
TVectorLevel BestVectorLevel();
TVectorLevel VectorLevel();
void SetVectorLevel(TVectorLevel Level);
// Count pixels := Value (whatever path: every processor here has the registers it needs).
void FillPixels(TPixel* P, size_t Count, TPixel Value);
void FadeFast(TPixel* P, size_t Count, int Shift);
void BlendFast(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count);
}  // namespace gfx
