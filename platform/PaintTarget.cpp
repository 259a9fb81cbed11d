#include "platform/PaintTarget.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Colours

namespace {
// The classic Windows scheme, $00BBGGRR, indexed by system colour number.
constexpr std::array<uint32_t, 25> SystemColors = {
    0xC8D0D4,  // scroll bar
    0xA56E3A,  // desktop
    0x6A240A,  // active caption
    0x808080,  // inactive caption
    0xC8D0D4,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC8D0D4,  // active border
    0xC8D0D4,  // inactive border
    0x808080,  // application workspace
    0x6A240A,  // highlight
    0xFFFFFF,  // highlight text
    0xC8D0D4,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC8D0D4,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x404040,  // 3-D dark shadow
    0xC8D0D4,  // 3-D light
    0x000000,  // tooltip text
    0xE1FFFF,  // tooltip background
};
}  // namespace

uint32_t ColorToRGB(TColor Color) {
  const uint32_t High = Color >> 24;
  if (High == 0x80 || High == 0xFF) {
    const uint32_t Index = Color & 0xFF;
    return Index < SystemColors.size() ? SystemColors[Index] : 0;
  }
  return Color & 0x00FFFFFF;
}

QColor ColorToQColor(TColor Color) {
  const uint32_t C = ColorToRGB(Color);
  return QColor(int(C & 0xFF), int((C >> 8) & 0xFF), int((C >> 16) & 0xFF));
}

// ---------------------------------------------------------------------------------------------
// Fonts

namespace {
// Windows rounds half away from zero when it scales by a ratio.
int32_t MulDivRound(int64_t A, int64_t B, int64_t C) {
  const int64_t P = A * B;
  const int64_t Q = (P >= 0 ? P + C / 2 : P - C / 2) / C;
  return RangeChecked<int32_t>(Q);
}

constexpr int DefaultPixelSize = 11;  // 8 points
constexpr int MaxPixelSize = 16383;
}  // namespace

int32_t TFont::Size() const { return -MulDivRound(Height, 72, ScreenPixelsPerInch); }

void TFont::SetSize(int32_t Points) { Height = -MulDivRound(Points, ScreenPixelsPerInch, 72); }

void InstallFontSubstitutes() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arimo", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"});
    QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "Tinos", "DejaVu Serif"});
  });
}

QFont TFont::ToQFont() const {
  InstallFontSubstitutes();
  QFont F(QString::fromUtf8(Name.data(), qsizetype(Name.size())));
  F.setBold(Style & FontStyleBit(fsBold));
  F.setItalic(Style & FontStyleBit(fsItalic));
  F.setUnderline(Style & FontStyleBit(fsUnderline));
  F.setStrikeOut(Style & FontStyleBit(fsStrikeOut));
  int64_t Pixels = DefaultPixelSize;
  if (Height < 0) {
    Pixels = -int64_t(Height);
  } else if (Height > 0) {
    // A cell height: scale the em size so that ascent plus descent comes out at Height.
    F.setPixelSize(int(std::min<int64_t>(Height, MaxPixelSize)));
    const QFontMetricsF FM(F);
    const double Cell = FM.ascent() + FM.descent();
    Pixels = Cell > 0 ? int64_t(std::lround(double(Height) * Height / Cell)) : Height;
  }
  F.setPixelSize(int(std::clamp<int64_t>(Pixels, 1, MaxPixelSize)));
  return F;
}

// ---------------------------------------------------------------------------------------------
// Device contexts

namespace plat {

bool TPaintTarget::CanDraw() const { return FPainter || (FImage && !FImage->isNull()); }

void TPaintTarget::Paint(const std::function<void(QPainter&)>& Draw) {
  if (FPainter) {
    FPainter->save();
    Draw(*FPainter);
    FPainter->restore();
  } else if (FImage && !FImage->isNull()) {
    QPainter P(FImage);
    Draw(P);
  }
}

void TPaintTarget::PutImage(int X, int Y, const QImage& Img) {
  if (Img.isNull()) return;
  const bool Raw = FImage && !FImage->isNull() && Img.format() == QImage::Format_RGB32 &&
                   (FImage->format() == QImage::Format_RGB32 ||
                    FImage->format() == QImage::Format_ARGB32 ||
                    FImage->format() == QImage::Format_ARGB32_Premultiplied);
  if (!Raw) {
    Paint([&](QPainter& P) {
      P.setCompositionMode(QPainter::CompositionMode_Source);
      P.drawImage(X, Y, Img);
    });
    return;
  }
  // Straight row copies into an image of 32-bit pixels.
  const int64_t L = std::max<int64_t>(X, 0), T = std::max<int64_t>(Y, 0);
  const int64_t R = std::min<int64_t>(int64_t(X) + Img.width(), FImage->width());
  const int64_t B = std::min<int64_t>(int64_t(Y) + Img.height(), FImage->height());
  if (R <= L || B <= T) return;
  for (int64_t Row = T; Row < B; ++Row) {
    const auto* Src = reinterpret_cast<const uint32_t*>(Img.constScanLine(int(Row - Y))) + (L - X);
    auto* Dst = reinterpret_cast<uint32_t*>(FImage->scanLine(int(Row))) + L;
    std::memcpy(Dst, Src, size_t(R - L) * 4);
  }
}

namespace {
bool Raw32(const QImage& Img) {
  return Img.format() == QImage::Format_RGB32 || Img.format() == QImage::Format_ARGB32 ||
         Img.format() == QImage::Format_ARGB32_Premultiplied;
}

// A painter whose own transform only moves maps a point p to p * Ratio + (Dx, Dy) on its
// device, Ratio being the device's pixel ratio; any other transform gives false.
bool ScaledMove(const QPainter& P, double& Ratio, double& Dx, double& Dy) {
  // The painter's own transforms; Qt's combined one holds the device's scale as well.
  if (P.worldTransform().type() > QTransform::TxTranslate) return false;
  if (P.viewTransformEnabled() && P.window().size() != P.viewport().size()) return false;
  const QTransform T = P.deviceTransform();
  if (T.type() > QTransform::TxScale || T.m11() != T.m22() || !(T.m11() > 0)) return false;
  Ratio = T.m11();
  Dx = T.dx();
  Dy = T.dy();
  return true;
}
}  // namespace

bool TPaintTarget::DirectPixels(TDirectPixels& Px) const {
  if (!FPainter) {
    if (!FImage || FImage->isNull() || !Raw32(*FImage)) return false;
    Px.Bits = reinterpret_cast<uint32_t*>(FImage->bits());
    Px.Stride = FImage->bytesPerLine() / 4;
    Px.Ratio = 1.0;
    Px.OffsetX = Px.OffsetY = 0;
    Px.Clip = QRegion(FImage->rect());
    return true;
  }
  // Only Qt's raster engine paints plain memory that a write of ours can join; a painter that
  // scales or blends, or one that records, needs its own drawing.
  QPaintEngine* Engine = FPainter->paintEngine();
  if (!FPainter->isActive() || !Engine || Engine->type() != QPaintEngine::Raster) return false;
  QPaintDevice* Dev = Engine->paintDevice();
  if (!Dev || Dev->devType() != QInternal::Image) return false;
  auto* Img = static_cast<QImage*>(Dev);
  // Shared memory would be copied by the write access below, away from what the painter paints.
  if (Img->isNull() || !Raw32(*Img) || !Img->isDetached()) return false;
  // The painter may scale only as the picture is scaled (Qt never scales below 1), and must
  // land on whole pixels.
  double Ratio = 1.0, Dx = 0, Dy = 0;
  const auto Whole = [](double V) { return V == std::floor(V) && std::abs(V) <= 1e9; };
  if (!ScaledMove(*FPainter, Ratio, Dx, Dy) || Ratio != std::max(1.0, Img->devicePixelRatio()) ||
      !Whole(Dx) || !Whole(Dy) || FPainter->opacity() != 1.0)
    return false;
  // The engine's clip (the part being repainted; none means all) and the painter's own.
  QRegion Clip(Img->rect());
  if (const QRegion System = Engine->systemClip(); !System.isEmpty()) Clip &= System;
  if (FPainter->hasClipping()) Clip &= FPainter->deviceTransform().map(FPainter->clipRegion());
  Px.Bits = reinterpret_cast<uint32_t*>(Img->bits());
  Px.Stride = Img->bytesPerLine() / 4;
  Px.Ratio = Ratio;
  Px.OffsetX = int(Dx);
  Px.OffsetY = int(Dy);
  Px.Clip = Clip;
  return true;
}

bool TPaintTarget::DeviceScale(TDeviceScale& S) const {
  if (!FPainter || !FPainter->isActive()) return false;
  double Ratio = 1.0, Dx = 0, Dy = 0;
  if (!ScaledMove(*FPainter, Ratio, Dx, Dy) || Ratio == 1.0) return false;
  QPaintEngine* Engine = FPainter->paintEngine();
  QPaintDevice* Dev = Engine ? Engine->paintDevice() : nullptr;
  if (!Dev) return false;
  // The engine's device counts in its own pixels; its clip is the part being repainted.
  QRect Bounds(0, 0, Dev->width(), Dev->height());
  if (const QRegion System = Engine->systemClip(); !System.isEmpty()) Bounds &= System.boundingRect();
  S.Ratio = Ratio;
  S.OffsetX = Dx;
  S.OffsetY = Dy;
  S.Bounds = Bounds;
  return true;
}

void TPaintTarget::PutDeviceImage(int X, int Y, const QImage& Img) {
  if (!FPainter || Img.isNull()) return;
  FPainter->save();
  // Undo what lies between the painter's coordinates and the device (the move into the window
  // and the device's scale), so the image's pixels are the device's.
  FPainter->resetTransform();
  FPainter->setViewTransformEnabled(false);
  FPainter->setWorldTransform(FPainter->deviceTransform().inverted());
  FPainter->setCompositionMode(QPainter::CompositionMode_Source);
  FPainter->drawImage(X, Y, Img);
  FPainter->restore();
}

int SetStretchBltMode(TPaintTarget* DC, int Mode) {
  if (!DC) return 0;
  const int Old = DC->StretchMode;
  DC->StretchMode = Mode;
  return Old;
}

int DrawText(TPaintTarget* DC, const std::string& Text, int Count, TRect& R, uint32_t Flags) {
  if (!DC) return 0;
  const size_t Len = Count < 0 ? Text.size() : std::min(Text.size(), size_t(Count));

  // Lines end at CR, LF or CR LF; a break at the very end starts no further line.
  std::vector<QString> Lines;
  size_t Start = 0;
  while (Start < Len) {
    size_t End = Start;
    while (End < Len && Text[End] != '\r' && Text[End] != '\n') ++End;
    Lines.push_back(QString::fromUtf8(Text.data() + Start, qsizetype(End - Start)));
    if (End < Len && Text[End] == '\r' && End + 1 < Len && Text[End + 1] == '\n') ++End;
    Start = End + 1;
  }

  const QFontMetrics FM(DC->Font);
  const int LineHeight = FM.height();
  std::vector<int> Widths;
  Widths.reserve(Lines.size());
  int MaxWidth = 0;
  for (const QString& L : Lines) {
    Widths.push_back(FM.horizontalAdvance(L));
    MaxWidth = std::max(MaxWidth, Widths.back());
  }
  const int TotalHeight = CheckedMul(LineHeight, int(Lines.size()));

  if (Flags & DT_CALCRECT) {
    R.Right = CheckedAdd(R.Left, MaxWidth);
    R.Bottom = CheckedAdd(R.Top, TotalHeight);
    return TotalHeight;
  }
  if (Lines.empty() || !DC->CanDraw()) return TotalHeight;

  DC->Paint([&](QPainter& P) {
    if (!(Flags & DT_NOCLIP))
      P.setClipRect(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top), Qt::IntersectClip);
    P.setFont(DC->Font);
    P.setPen(DC->TextColor);
    const int64_t RectWidth = int64_t(R.Right) - R.Left;
    for (size_t I = 0; I < Lines.size(); ++I) {
      int64_t X = R.Left;
      if (Flags & DT_CENTER)
        X = R.Left + (RectWidth - Widths[I]) / 2;
      else if (Flags & DT_RIGHT)
        X = int64_t(R.Right) - Widths[I];
      const int64_t Y = R.Top + int64_t(I) * LineHeight;
      if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX - LineHeight) continue;
      if (DC->OpaqueBackground) P.fillRect(QRect(int(X), int(Y), Widths[I], LineHeight), DC->BackColor);
      P.drawText(QPoint(int(X), int(Y) + FM.ascent()), Lines[I]);
    }
  });
  return TotalHeight;
}

}  // namespace plat

// ---------------------------------------------------------------------------------------------
// Canvas

plat::TPaintTarget* TCanvas::Handle() {
  if (FHandle) {
    FHandle->Font = Font.ToQFont();
    FHandle->TextColor = ColorToQColor(Font.Color);
    FHandle->OpaqueBackground = Brush.Style == TBrushStyle::bsSolid;
    FHandle->BackColor = ColorToQColor(Brush.Color);
  }
  return FHandle;
}

void TCanvas::Draw(int X, int Y, const QImage& Graphic) {
  if (!FHandle || Graphic.isNull()) return;
  FHandle->Paint([&](QPainter& P) { P.drawImage(X, Y, Graphic); });
}

void TCanvas::FillRect(const TRect& R) {
  if (!FHandle || Brush.Style == TBrushStyle::bsClear) return;
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  const QColor C = ColorToQColor(Brush.Color);
  FHandle->Paint([&](QPainter& P) {
    P.fillRect(QRect(QPoint(R.Left, R.Top), QPoint(R.Right - 1, R.Bottom - 1)), C);
  });
}
