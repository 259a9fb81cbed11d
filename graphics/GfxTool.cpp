#include "graphics/GfxTool.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/GfxTool_p.h"
#include "persistence/BasicUtility.h"
#include "persistence/CPUUtility.h"

namespace {

constexpr size_t PixelAlignment = 64;

void* AllocZeroed(size_t Bytes) {
  const size_t Rounded = (Bytes + PixelAlignment - 1) / PixelAlignment * PixelAlignment;
  void* P = std::aligned_alloc(PixelAlignment, Rounded);
  if (P) std::memset(P, 0, Rounded);
  return P;
}

bool UseFastPaths() { return HasMMX() && gfx::FastPathsAvailable(); }

// Copies Count pixels per row for Rows rows; rows may overlap as one picture moved within itself.
void MoveRows(const TPixel* Src, ptrdiff_t SrcStride, TPixel* Dst, ptrdiff_t DstStride, size_t Count,
              int64_t Rows) {
  if (Count == 0 || Rows <= 0) return;
  const size_t Bytes = Count * sizeof(TPixel);
  if (Dst > Src) {  // within one picture a later row must not be overwritten before it is read
    for (int64_t I = Rows - 1; I >= 0; --I) std::memmove(Dst + I * DstStride, Src + I * SrcStride, Bytes);
  } else {
    for (int64_t I = 0; I < Rows; ++I) std::memmove(Dst + I * DstStride, Src + I * SrcStride, Bytes);
  }
}

// Nearest-neighbour stretch of the source block (SrcX, SrcY, SrcW, SrcH) of a W x H picture to a
// DestW x DestH grid, producing the grid's part [X0, X1) x [Y0, Y1) into Out. Source column of
// grid column d is SrcX + d * SrcW / DestW (rows alike): columns and rows are dropped or
// repeated, never averaged. Samples outside the picture are black. Output pixels are opaque.
void StretchNearest(const TPixel* Src, int W, int H, int SrcX, int SrcY, int SrcW, int SrcH,
                    int DestW, int DestH, int X0, int Y0, int X1, int Y1, uint32_t* Out,
                    ptrdiff_t OutStride) {
  constexpr uint32_t Opaque = 0xFF000000u;
  const size_t Cols = size_t(X1 - X0);
  // The source column of every output column; they never decrease, so the columns that fall
  // inside the picture form one run [First, Last).
  std::vector<int32_t> Map(Cols);
  size_t First = Cols, Last = 0;
  for (size_t I = 0; I < Cols; ++I) {
    const int64_t Sx = SrcX + (int64_t(X0) + int64_t(I)) * SrcW / DestW;
    Map[I] = int32_t(std::clamp<int64_t>(Sx, -1, W));
    if (Sx >= 0 && Sx < W) {
      First = std::min(First, I);
      Last = I + 1;
    }
  }
  if (First > Last) First = Last;
  int64_t PrevSy = INT64_MIN;
  uint32_t* Prev = nullptr;
  for (int Dy = Y0; Dy < Y1; ++Dy) {
    uint32_t* Row = Out + ptrdiff_t(Dy - Y0) * OutStride;
    const int64_t Sy = SrcY + int64_t(Dy) * SrcH / DestH;
    if (Prev && Sy == PrevSy) {
      std::memcpy(Row, Prev, Cols * sizeof(uint32_t));
    } else if (Sy < 0 || Sy >= H) {
      std::fill_n(Row, Cols, Opaque);
    } else {
      const TPixel* S = Src + Sy * W;
      std::fill_n(Row, First, Opaque);
      const int32_t* M = Map.data();
      for (size_t I = First; I < Last; ++I) Row[I] = S[M[I]] | Opaque;
      std::fill_n(Row + Last, Cols - Last, Opaque);
    }
    PrevSy = Sy;
    Prev = Row;
  }
}

// A destination block in a device's pixels, and the part of it a rectangle of them shows.
struct TDeviceBlock {
  int64_t X = 0, Y = 0, W = 0, H = 0;
  int64_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // the visible part, in the block's own grid

  bool Show(const QRect& R) {
    X0 = std::max<int64_t>(0, R.left() - X);
    Y0 = std::max<int64_t>(0, R.top() - Y);
    X1 = std::min<int64_t>(W, int64_t(R.right()) + 1 - X);
    Y1 = std::min<int64_t>(H, int64_t(R.bottom()) + 1 - Y);
    return X1 > X0 && Y1 > Y0;
  }
};

// The block (DestX, DestY, DestW, DestH) of a context whose point p is the device's point
// p * Ratio + Offset: its edges go to the nearest pixel edges (exactly p + Offset at a ratio of
// 1). False when it covers no pixel or more than a stretch can count.
bool DeviceBlock(int DestX, int DestY, int DestW, int DestH, double Ratio, double OffsetX, double OffsetY,
                 TDeviceBlock& B) {
  const auto Edge = [Ratio](int64_t V, double Offset) {
    if (Ratio == 1.0 && Offset == std::floor(Offset)) return V + int64_t(Offset);
    // Beyond any picture either way; kept in range for the conversion.
    return int64_t(std::clamp(std::floor(double(V) * Ratio + Offset + 0.5), -0x1p62, 0x1p62));
  };
  B.X = Edge(DestX, OffsetX);
  B.Y = Edge(DestY, OffsetY);
  B.W = Edge(int64_t(DestX) + DestW, OffsetX) - B.X;
  B.H = Edge(int64_t(DestY) + DestH, OffsetY) - B.Y;
  return B.W > 0 && B.H > 0 && B.W <= INT32_MAX && B.H <= INT32_MAX;
}

// Reused between frames: a full-screen paint needs a client-sized picture every frame.
QImage& ScratchImage(int W, int H) {
  static QImage Scratch;
  if (Scratch.width() != W || Scratch.height() != H) Scratch = QImage(W, H, QImage::Format_RGB32);
  return Scratch;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TDIBRaster

TDIBRaster::TDIBRaster(int AWidth, int AHeight) {
  MakeEven(AWidth, AHeight);
  Width = AWidth;
  Height = AHeight;
  DC = std::make_unique<plat::TPaintTarget>();
  if (AWidth <= 0 || AHeight <= 0 || int64_t(AWidth) * AHeight > MaxRasterPixels) return;
  Bits = static_cast<TPixel*>(AllocZeroed(size_t(AWidth) * size_t(AHeight) * sizeof(TPixel)));
  if (!Bits) return;
  FImage = QImage(reinterpret_cast<uchar*>(Bits), AWidth, AHeight, qsizetype(AWidth) * 4,
                  QImage::Format_RGB32);
  DC = std::make_unique<plat::TPaintTarget>(&FImage);
  Canvas = std::make_unique<TCanvas>(DC.get());
}

TDIBRaster::~TDIBRaster() {
  Canvas.reset();
  DC.reset();
  FImage = QImage();
  std::free(Bits);
}

size_t TDIBRaster::PixelCount() const { return Bits ? size_t(Width) * size_t(Height) : 0; }

void TDIBRaster::DrawToDC(plat::TPaintTarget* ADC, int SrcX, int SrcY, int DestX, int DestY,
                          int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0) throw ERangeError(SRangeError);
  if (!ADC || !Bits) return;
  const int64_t L = std::max<int64_t>(SrcX, 0), T = std::max<int64_t>(SrcY, 0);
  const int64_t R = std::min<int64_t>(int64_t(SrcX) + AWidth, Width);
  const int64_t B = std::min<int64_t>(int64_t(SrcY) + AHeight, Height);
  if (R <= L || B <= T) return;
  QImage Block(int(R - L), int(B - T), QImage::Format_RGB32);
  for (int64_t Y = T; Y < B; ++Y) {
    const TPixel* S = Bits + Y * Width + L;
    auto* D = reinterpret_cast<uint32_t*>(Block.scanLine(int(Y - T)));
    for (int64_t X = 0; X < R - L; ++X) D[X] = S[X] | 0xFF000000u;
  }
  ADC->PutImage(int(DestX + (L - SrcX)), int(DestY + (T - SrcY)), Block);
}

void TDIBRaster::StretchToDC(plat::TPaintTarget* ADC, int SrcX, int SrcY, int SrcWidth,
                             int SrcHeight, int DestX, int DestY, int DestWidth, int DestHeight,
                             int Mode) {
  plat::SetStretchBltMode(ADC, Mode);
  if (!ADC || !Bits || SrcWidth <= 0 || SrcHeight <= 0 || DestWidth <= 0 || DestHeight <= 0) return;
  const auto Stretch = UseFastPaths() ? gfx::stretch::StretchFast : StretchNearest;
  // Straight into the pixels behind the context where it allows that: no copy in between. On a
  // scaled picture the destination is counted in its pixels, so the whole block is stretched
  // over them as it is at a ratio of 1.
  plat::TDirectPixels Px;
  TDeviceBlock B;
  if (ADC->DirectPixels(Px)) {
    if (!DeviceBlock(DestX, DestY, DestWidth, DestHeight, Px.Ratio, Px.OffsetX, Px.OffsetY, B)) return;
    for (const QRect& R : Px.Clip)
      if (B.Show(R))
        Stretch(Bits, Width, Height, SrcX, SrcY, SrcWidth, SrcHeight, int(B.W), int(B.H), int(B.X0), int(B.Y0),
                int(B.X1), int(B.Y1), Px.Bits + (B.Y + B.Y0) * Px.Stride + (B.X + B.X0), Px.Stride);
    return;
  }
  // A painter on a scaled device: the block in the device's pixels, put there unscaled.
  plat::TDeviceScale DS;
  if (ADC->DeviceScale(DS)) {
    if (!DeviceBlock(DestX, DestY, DestWidth, DestHeight, DS.Ratio, DS.OffsetX, DS.OffsetY, B)) return;
    if (!B.Show(DS.Bounds)) return;
    QImage& Scratch = ScratchImage(int(B.X1 - B.X0), int(B.Y1 - B.Y0));
    Stretch(Bits, Width, Height, SrcX, SrcY, SrcWidth, SrcHeight, int(B.W), int(B.H), int(B.X0), int(B.Y0),
            int(B.X1), int(B.Y1), reinterpret_cast<uint32_t*>(Scratch.bits()), Scratch.bytesPerLine() / 4);
    ADC->PutDeviceImage(int(B.X + B.X0), int(B.Y + B.Y0), Scratch);
    return;
  }
  // The part of the destination grid that can be seen.
  int64_t X0 = 0, Y0 = 0, X1 = DestWidth, Y1 = DestHeight;
  QImage* Target = ADC->Image();
  if (Target) {
    if (Target->isNull()) return;
    X0 = std::max<int64_t>(0, -int64_t(DestX));
    Y0 = std::max<int64_t>(0, -int64_t(DestY));
    X1 = std::min<int64_t>(DestWidth, int64_t(Target->width()) - DestX);
    Y1 = std::min<int64_t>(DestHeight, int64_t(Target->height()) - DestY);
    if (X1 <= X0 || Y1 <= Y0) return;
  } else if (QPainter* P = ADC->Painter(); P && P->device()) {
    // Only what the painter's device can show is worth producing; Qt's combined transform
    // holds the device's scale, so the device is counted in its pixels.
    const double Ratio = std::max(1.0, P->device()->devicePixelRatio());
    const QRect Dev(0, 0, int(std::ceil(P->device()->width() * Ratio)),
                    int(std::ceil(P->device()->height() * Ratio)));
    const QRect Vis = P->combinedTransform().inverted().mapRect(Dev);
    X0 = std::max<int64_t>(0, int64_t(Vis.left()) - DestX);
    Y0 = std::max<int64_t>(0, int64_t(Vis.top()) - DestY);
    X1 = std::min<int64_t>(DestWidth, int64_t(Vis.right()) + 1 - DestX);
    Y1 = std::min<int64_t>(DestHeight, int64_t(Vis.bottom()) + 1 - DestY);
    if (X1 <= X0 || Y1 <= Y0) return;
  }
  QImage& Scratch = ScratchImage(int(X1 - X0), int(Y1 - Y0));
  Stretch(Bits, Width, Height, SrcX, SrcY, SrcWidth, SrcHeight, DestWidth, DestHeight, int(X0), int(Y0),
          int(X1), int(Y1), reinterpret_cast<uint32_t*>(Scratch.bits()), Scratch.bytesPerLine() / 4);
  ADC->PutImage(int(DestX + X0), int(DestY + Y0), Scratch);
}

void TDIBRaster::Fade(int Shift) {
  const size_t N = PixelCount();
  if (N == 0) return;
  // Beyond 8 the formula gives what 8 gives; below 0 nothing is kept.
  const int S = std::clamp(Shift, 0, 8);
  if (UseFastPaths())
    gfx::FadeFast(Bits, N, S);
  else
    gfx::FadePlain(Bits, N, S);
}

void TDIBRaster::CopyTo(TDIBRaster* Dest) const {
  if (!Dest || Dest == this) return;
  const size_t N = std::min(PixelCount(), Dest->PixelCount());
  if (N) std::memmove(Dest->Bits, Bits, N * sizeof(TPixel));
}

void TDIBRaster::CopyRect(TDIBRaster* Dest, const TRect& Rc) const {
  if (!Bits || !Dest || !Dest->Bits) return;
  TRect R = Rc;
  ClipRect(R, BoundsRect());
  if (R.Right < R.Left || R.Bottom < R.Top) return;
  const size_t DN = Dest->PixelCount();
  const size_t Count = size_t(R.Right - R.Left) + 1;
  for (int64_t Y = R.Top; Y <= R.Bottom; ++Y) {
    const size_t Start = size_t(Y) * size_t(Width) + size_t(R.Left);
    if (Start >= DN) break;
    const size_t N = std::min(Count, DN - Start);
    std::memmove(Dest->Bits + Start, Bits + Start, N * sizeof(TPixel));
  }
}

void TDIBRaster::CopyFromAt(const TDIBRaster* Source, int X, int Y) {
  if (!Source || !Source->Bits || !Bits) return;
  const int Cols = CheckedSub(std::min(CheckedSub(Source->Width, X), Width), std::max(CheckedSub(0, X), 0));
  const int Rows = CheckedSub(std::min(CheckedSub(Source->Height, Y), Height), std::max(CheckedSub(0, Y), 0));
  if (Cols <= 0 || Rows <= 0) return;
  const TPixel* S = Source->Bits + int64_t(std::max(Y, 0)) * Source->Width + std::max(X, 0);
  TPixel* D = Bits + int64_t(std::max(-Y, 0)) * Width + std::max(-X, 0);
  MoveRows(S, Source->Width, D, Width, size_t(Cols), Rows);
}

void TDIBRaster::DrawTo(TDIBRaster* Dest, int X, int Y) const {
  if (!Dest || !Dest->Bits || !Bits) return;
  const int Cols = CheckedSub(std::min(CheckedSub(Dest->Width, X), Width), std::max(CheckedSub(0, X), 0));
  const int Rows = CheckedSub(std::min(CheckedSub(Dest->Height, Y), Height), std::max(CheckedSub(0, Y), 0));
  if (Cols <= 0 || Rows <= 0) return;
  const TPixel* S = Bits + int64_t(std::max(-Y, 0)) * Width + std::max(-X, 0);
  TPixel* D = Dest->Bits + int64_t(std::max(Y, 0)) * Dest->Width + std::max(X, 0);
  MoveRows(S, Width, D, Dest->Width, size_t(Cols), Rows);
}

void TDIBRaster::PlotGlow(int X, int Y, TPixel Color) {
  if (!Bits || X < 1 || Y < 1 || X > Width - 2 || Y > Height - 2) return;
  const size_t I = size_t(Y) * size_t(Width) + size_t(X);
  const size_t W = size_t(Width);
  Bits[I] = AddShiftedSat(Bits[I], Color, 1);
  Bits[I - 1] = AddShiftedSat(Bits[I - 1], Color, 2);
  Bits[I + 1] = AddShiftedSat(Bits[I + 1], Color, 2);
  Bits[I - W] = AddShiftedSat(Bits[I - W], Color, 2);
  Bits[I + W] = AddShiftedSat(Bits[I + W], Color, 2);
}

void TDIBRaster::FillRect(const TRect& Rc, TPixel Color) {
  if (!Bits) return;
  TRect R = Rc;
  ClipRect(R, BoundsRect());
  if (R.Right < R.Left || R.Bottom < R.Top) return;
  const size_t Count = size_t(R.Right - R.Left) + 1;
  if (Count == size_t(Width)) {  // whole rows: one run
    gfx::FillPixels(Bits + size_t(R.Top) * Width, Count * size_t(R.Bottom - R.Top + 1), Color);
    return;
  }
  for (int64_t Y = R.Top; Y <= R.Bottom; ++Y) gfx::FillPixels(Bits + Y * Width + R.Left, Count, Color);
}

void TDIBRaster::Clear(TPixel Color) { FillRect(BoundsRect(), Color); }

TRect TDIBRaster::BoundsRect() const { return Rect(0, 0, CheckedSub(Width, 1), CheckedSub(Height, 1)); }

TPoint TDIBRaster::BottomRight() const { return Point(CheckedSub(Width, 1), CheckedSub(Height, 1)); }

// ---------------------------------------------------------------------------------------------
// TAlphaChannel

TAlphaChannel::TAlphaChannel(int AWidth, int AHeight) {
  MakeEven(AWidth, AHeight);
  Width = AWidth;
  Height = AHeight;
  if (AWidth <= 0 || AHeight <= 0) return;
  const int Count = CheckedMul(AWidth, AHeight);
  Data = static_cast<uint8_t*>(AllocZeroed(size_t(Count)));
  if (!Data) throw EOutOfMemory("Out of memory");
}

TAlphaChannel::~TAlphaChannel() { std::free(Data); }

size_t TAlphaChannel::PixelCount() const { return Data ? size_t(Width) * size_t(Height) : 0; }

void TAlphaChannel::Blend(const TDIBRaster* A, const TDIBRaster* B, TDIBRaster* Dest) const {
  if (!A || !B || !Dest) return;
  const size_t N = std::min({PixelCount(), A->PixelCount(), B->PixelCount(), Dest->PixelCount()});
  if (N == 0) return;
  if (UseFastPaths())
    gfx::BlendFast(Data, A->Bits, B->Bits, Dest->Bits, N);
  else
    gfx::BlendPlain(Data, A->Bits, B->Bits, Dest->Bits, N);
}

void TAlphaChannel::Fill(uint8_t Value) {
  if (Data) std::memset(Data, Value, PixelCount());
}

void TAlphaChannel::FillRect(const TRect& Rc, uint8_t Value) {
  if (!Data) return;
  TRect R = Rc;
  ClipRect(R, Rect(0, 0, Width - 1, Height - 1));
  if (R.Right < R.Left || R.Bottom < R.Top) return;
  const size_t Count = size_t(R.Right - R.Left) + 1;
  for (int64_t Y = R.Top; Y <= R.Bottom; ++Y) std::memset(Data + Y * Width + R.Left, Value, Count);
}

// ---------------------------------------------------------------------------------------------
// Plain pixel paths

namespace gfx {

void FadePlain(TPixel* P, size_t Count, int Shift) {
  const unsigned S = unsigned(std::clamp(Shift, 0, 8));
  for (size_t I = Count; I-- > 0;) {
    const uint32_t Px = P[I];
    uint32_t RB = Px & 0x00FF00FFu;
    uint32_t G = (Px >> 8) & 0xFFu;
    // Red and blue together: red's fraction falls between the two and is masked away.
    RB = (((RB << S) - RB) >> S) & 0x00FF00FFu;
    G = ((G << S) - G) >> S;
    P[I] = RB | ((G << 8) & 0xFF00u);
  }
}

void BlendPlain(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
  for (size_t I = Count; I-- > 0;) {
    const int32_t Al = Alpha[I];
    const uint32_t Pa = A[I], Pb = B[I];
    uint32_t R = 0;
    for (unsigned Sh = 0; Sh <= 16; Sh += 8) {
      const int32_t Ca = int32_t((Pa >> Sh) & 0xFF), Cb = int32_t((Pb >> Sh) & 0xFF);
      const int32_t D = (((Ca - Cb) * Al) >> 8) + Cb;  // arithmetic shift: the floor
      R |= (uint32_t(D) & 0xFFu) << Sh;
    }
    Dest[I] = R;
  }
}

}  // namespace gfx

// ---------------------------------------------------------------------------------------------
// Free routines

namespace {
struct TTextCanvasHolder {
  plat::TPaintTarget DC;  // a memory context without a picture
  TCanvas Canvas{&DC};
};
std::unique_ptr<TTextCanvasHolder> GTextCanvas;

// Fonts must go before the GUI does; when there is a GUI the canvas leaves with it.
void FreeTextCanvas() { GTextCanvas.reset(); }
}  // namespace

TCanvas& TextCanvas() {
  if (!GTextCanvas) {
    GTextCanvas = std::make_unique<TTextCanvasHolder>();
    if (QCoreApplication::instance()) qAddPostRoutine(FreeTextCanvas);
  }
  return GTextCanvas->Canvas;
}

TPoint MeasureText(const TFont& Font, const std::string& Text, uint32_t Flags, int FontHeight) {
  TCanvas& C = TextCanvas();
  C.Font.Assign(Font);
  if (FontHeight != 0) C.Font.Height = FontHeight;
  TRect R = Rect(0, 0, 0, 0);
  plat::DrawText(C.Handle(), Text, -1, R, Flags | plat::DT_CALCRECT | plat::DT_NOPREFIX | plat::DT_NOCLIP);
  return Point(RectWidth(R), RectHeight(R));
}

int RectWidth(const TRect& R) { return CheckedAdd(CheckedSub(R.Right, R.Left), 1); }

int RectHeight(const TRect& R) { return CheckedAdd(CheckedSub(R.Bottom, R.Top), 1); }

TPixel AddShiftedSat(TPixel A, TPixel B, uint8_t Shift) {
  // From 8 on nothing of B is left; shifting the red-blue word further would move red into blue.
  if (Shift >= 8) return A & 0x00FFFFFFu;
  uint32_t RB = ((B & 0x00FF00FFu) >> Shift) & 0x00FF00FFu;
  RB += A & 0x00FF00FFu;
  if (RB & 0x00000100u) RB |= 0x000000FFu;
  if (RB & 0x01000000u) RB |= 0x00FF0000u;
  uint32_t G = ((B >> 8) & 0xFFu) >> Shift;
  G += (A >> 8) & 0xFFu;
  if (G > 0xFFu) G = 0xFFu;
  return (RB & 0x01FF00FFu) | (G << 8);
}

uint32_t SwapRB(uint32_t Color) {
  return ((Color >> 16) & 0xFFu) | (((Color >> 8) & 0xFFu) << 8) | ((Color & 0xFFu) << 16);
}

int Lerp(int A, int B, float T) {
  // The difference loads exactly (an integer load keeps all 32 bits); the product and the sum
  // each round to single precision, as the program's floating-point unit does.
  const long double Diff = CheckedSub(B, A);
  const float Prod = static_cast<float>(Diff * T);
  const float Sum = static_cast<float>(static_cast<long double>(Prod) + A);
  if (!(Sum >= -2147483648.0f && Sum < 2147483648.0f)) throw ERangeError(SRangeError);
  return int(Sum);
}

std::unique_ptr<TDIBRaster> RasterFromGraphic(const TGraphic& Graphic) {
  auto R = std::make_unique<TDIBRaster>(Graphic.width(), Graphic.height());
  if (R->Canvas) R->Canvas->Draw(0, 0, Graphic);
  return R;
}

void MakeEven(int& A, int& B) {
  A = CheckedAdd(A, A % 2);
  B = CheckedAdd(B, B % 2);
}

TPoint PointAdd(TPoint A, TPoint B) { return Point(CheckedAdd(A.X, B.X), CheckedAdd(A.Y, B.Y)); }

TPoint PointSub(TPoint A, TPoint B) { return Point(CheckedSub(A.X, B.X), CheckedSub(A.Y, B.Y)); }

void ClipRect(TRect& R, const TRect& Bounds) {
  R.Left = ClampToRange(R.Left, Bounds.Left, Bounds.Right);
  R.Right = ClampToRange(R.Right, Bounds.Left, Bounds.Right);
  R.Top = ClampToRange(R.Top, Bounds.Top, Bounds.Bottom);
  R.Bottom = ClampToRange(R.Bottom, Bounds.Top, Bounds.Bottom);
}

// ---------------------------------------------------------------------------------------------
// Display modes

namespace {
TStringList* GScreenModes = nullptr;
plat::TDevMode GCurrentSettings;
// A display that never stops listing must not hang the start.
constexpr int MaxListedModes = 100000;

struct TScreenModesFinalization {
  ~TScreenModesFinalization() { FreeScreenModes(); }
} GScreenModesFinalization;

const plat::TDevMode& ListedMode(int Index) {
  return static_cast<const TScreenModeRecord*>(ScreenModes()->Objects(Index))->Mode;
}

// The current settings into Mode; false (Mode unchanged) when they cannot be read.
bool ReadCurrentSettings(plat::TDevMode& Mode) {
  GCurrentSettings.dmSize = plat::DevModeSize;
  GCurrentSettings.dmDriverExtra = 0;
  if (!plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, GCurrentSettings)) return false;
  Mode = GCurrentSettings;
  return true;
}
}  // namespace

TStringList* ScreenModes() {
  if (!GScreenModes) BuildScreenModes();
  return GScreenModes;
}

void BuildScreenModes() {
  FreeScreenModes();
  GScreenModes = new TStringList;
  plat::TDevMode Work;
  Work.dmSize = plat::DevModeSize;
  Work.dmDriverExtra = 0;
  for (int I = 0; I < MaxListedModes && plat::EnumDisplaySettings(I, Work); ++I) {
    if (Work.dmDisplayFrequency == 1) continue;
    std::string D = std::to_string(Work.dmPelsWidth) + "x" + std::to_string(Work.dmPelsHeight) +
                    ", " + std::to_string(Work.dmBitsPerPel) + " bit, ";
    if (Work.dmDisplayFrequency != 0) D += std::to_string(Work.dmDisplayFrequency) + " Hz, ";
    D += (Work.dmDisplayFlags & plat::DM_GRAYSCALE) ? "grayscaled" : "colored";
    D += ", ";
    D += (Work.dmDisplayFlags & plat::DM_INTERLACED) ? "interlaced" : "non interlaced";
    auto Copy = std::make_unique<TScreenModeRecord>(Work);
    GScreenModes->AddObject(D, Copy.get());
    Copy.release();
  }
}

void FreeScreenModes() { FreeStringListObjects(GScreenModes); }

void GetScreenMode(int Index, plat::TDevMode& Mode) {
  if (Index < 0)
    ReadCurrentSettings(Mode);
  else
    Mode = ListedMode(Index);
}

void ChangeScreenMode(int Index) {
  if (Index < 0) {
    if (plat::ChangeDisplaySettings(nullptr, plat::CDS_FULLSCREEN) != plat::DISP_CHANGE_SUCCESSFUL)
      throw EGraphicException("ChangeScreenMode : Screen mode could not be changed to default mode");
    return;
  }
  if (Index > ScreenModes()->Count() - 1)
    throw EGraphicException("ChangeScreenMode : Screen mode not available");
  plat::TDevMode M = ListedMode(Index);
  M.dmFields = 0;
  if (M.dmBitsPerPel != 0) M.dmFields |= plat::DM_BITSPERPEL;
  if (M.dmPelsWidth != 0) M.dmFields |= plat::DM_PELSWIDTH;
  if (M.dmPelsHeight != 0) M.dmFields |= plat::DM_PELSHEIGHT;
  if (M.dmDisplayFrequency != 0) M.dmFields |= plat::DM_DISPLAYFREQUENCY;
  if (M.dmDisplayFlags != 0) M.dmFields |= plat::DM_DISPLAYFLAGS;
  if (plat::ChangeDisplaySettings(&M, plat::CDS_FULLSCREEN) != plat::DISP_CHANGE_SUCCESSFUL)
    throw EGraphicException("ChangeScreenMode : Screen mode could not be changed");
}

bool FindScreenMode(int Width, int Height, int& Index) {
  plat::TDevMode Cur;
  if (!ReadCurrentSettings(Cur)) return false;
  TStringList* L = ScreenModes();
  for (int I = 0; I < L->Count(); ++I) {
    const plat::TDevMode& M = ListedMode(I);
    if (int64_t(M.dmPelsWidth) == Width && int64_t(M.dmPelsHeight) == Height &&
        M.dmDisplayFrequency == Cur.dmDisplayFrequency && M.dmBitsPerPel == Cur.dmBitsPerPel &&
        M.dmDisplayFlags == Cur.dmDisplayFlags) {
      Index = I;
      return true;
    }
  }
  return false;
}
