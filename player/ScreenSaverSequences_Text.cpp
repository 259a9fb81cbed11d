#include "player/ScreenSaverSequences_Text.h"

#include <algorithm>
#include <limits>

#include "persistence/BasicUtility.h"
#include "persistence/PropertyBags.h"
#include "player/ScreenSaverAnimator.h"

namespace {

// DT_NOPREFIX | DT_NOCLIP, and with DT_CENTER for the lines of a vertical scroll.
constexpr uint32_t TextFlags = plat::DT_NOPREFIX | plat::DT_NOCLIP;

// The four style bits a stored style byte can carry.
constexpr uint8_t StyleMask = 0x0F;


}  // namespace

// ---------------------------------------------------------------------------------------------
// TTextSequence

RIZ_PUBLISHED(TTextSequence) {
  D.String("Text", &TTextSequence::Text);
  D.Integer("Color", &TTextSequence::Color);
  D.Integer("Transparency", &TTextSequence::Transparency);
}

TTextSequence::TTextSequence() { FFont.Name = "Arial"; }

TTextSequence::~TTextSequence() = default;

void TTextSequence::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  FFont.Assign(static_cast<const TTextSequence&>(Source).FFont);
}

void TTextSequence::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  std::string FontName;
  if (Bag.ReadStringValue("FontName", FontName)) FFont.Name = FontName;
  FFont.SetSize(Bag.ReadInteger("FontSize"));
  uint8_t Styles = 0;
  if (Bag.ReadBinaryValue("FontStyles", &Styles, 1) > 0) FFont.Style = Styles & StyleMask;
}

void TTextSequence::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteStringValue("FontName", FFont.Name);
  Bag.WriteInteger("FontSize", FFont.Size());
  const uint8_t Styles = FFont.Style & StyleMask;
  Bag.WriteBinaryValue("FontStyles", &Styles, 1);
}

int32_t TTextSequence::EffectiveTransparency() const { return ClampToRange(Transparency, 0, 100); }

int32_t TTextSequence::TextAlpha() const { return 255 - EffectiveTransparency() * 255 / 100; }

TDIBRaster* TTextSequence::ControlRaster() const {
  return FAnimationControl ? FAnimationControl->Raster() : nullptr;
}

void TTextSequence::SelectFont(TCanvas& Canvas) const {
  Canvas.Font.Assign(FFont);
  Canvas.Font.Color = Color;
  Canvas.Brush.Style = TBrushStyle::bsClear;
}

void TTextSequence::Prepare() {
  inherited::Prepare();
  if (TDIBRaster* Screen = ControlRaster()) {
    if (Screen->Canvas) SelectFont(*Screen->Canvas);
    FBackground = std::make_unique<TDIBRaster>(Screen->Width, Screen->Height);
    Screen->CopyTo(FBackground.get());
  }
}

void TTextSequence::Unprepare() {
  FBackground.reset();
  inherited::Unprepare();
}

void TTextSequence::Step() {
  inherited::Step();
  TDIBRaster* Screen = ControlRaster();
  if (Screen && Screen->Canvas) SelectFont(*Screen->Canvas);
}

// ---------------------------------------------------------------------------------------------
// TScrollTextSequence

RIZ_PUBLISHED(TScrollTextSequence) {
  D.Integer("Position", &TScrollTextSequence::Position);
  D.Enumeration("Style", TScrollTextStyleNames, &TScrollTextSequence::Style);
}

TScrollTextSequence::TScrollTextSequence() = default;

TScrollTextSequence::~TScrollTextSequence() = default;

void TScrollTextSequence::Prepare() {
  inherited::Prepare();
  FTravel = 0;
  FTextRect = TRect{};
  TDIBRaster* Screen = ControlRaster();
  if (!Screen || !Screen->Canvas) return;
  const int32_t W = Screen->Width;
  const int32_t H = Screen->Height;
  TRect R;
  MeasureSequenceText(Text, Position, Style, *Screen->Canvas, W, H, false, R);
  FTravel = Style == stsCharByCharHorizontal ? CheckedAdd(RectWidth(R), W) : CheckedAdd(RectHeight(R), H);
  MeasureSequenceText(Text, Position, Style, *Screen->Canvas, W, H, true, FTextRect);
  ClipRect(FTextRect, Screen->BoundsRect());
  if (EffectiveTransparency() > 0) {
    const int32_t BW = RectWidth(FTextRect);
    const int32_t BH = RectHeight(FTextRect);
    FTextRaster = std::make_unique<TDIBRaster>(BW, BH);
    FWork = std::make_unique<TDIBRaster>(BW, BH);
    FAlpha = std::make_unique<TAlphaChannel>(BW, BH);
    if (FTextRaster->Canvas) SelectFont(*FTextRaster->Canvas);
  }
}

void TScrollTextSequence::Unprepare() {
  FTextRaster.reset();
  FWork.reset();
  FAlpha.reset();
  inherited::Unprepare();
}

void TScrollTextSequence::Step() {
  inherited::Step();
  TDIBRaster* Screen = ControlRaster();
  if (!Screen || !Screen->Canvas) return;
  if (FBackground) FBackground->CopyRect(Screen, FTextRect);

  const int32_t W = Screen->Width;
  const int32_t H = Screen->Height;
  // A long text over minutes passes 2^31 in the product; the offset itself fits.
  const int32_t Off =
      Duration > 0 ? int32_t(int64_t(Elapsed()) * FTravel / Duration) : FTravel;
  const bool Horizontal = Style == stsCharByCharHorizontal;
  const std::string Drawn = Horizontal ? StringReplaceAll(Text, "\r\n", " ") : Text;
  const uint32_t Flags = Horizontal ? TextFlags : TextFlags | plat::DT_CENTER;

  if (EffectiveTransparency() == 0) {
    TRect R;
    MeasureSequenceText(Text, Position, Style, *Screen->Canvas, W, H, true, R);
    if (Horizontal) {
      R.Left = CheckedSub(W, Off);
      R.Top = Position;
    } else {
      R.Left = Position;
      R.Top = CheckedSub(H, Off);
    }
    plat::DrawText(Screen->Canvas->Handle(), Drawn, -1, R, Flags);
    return;
  }

  if (!FTextRaster || !FTextRaster->Canvas || !FWork || !FAlpha) return;
  FWork->CopyFromAt(Screen, FTextRect.Left, FTextRect.Top);
  FWork->CopyTo(FTextRaster.get());
  // A band cut off at the top keeps the text where it was: shifted up inside the band.
  TRect R = FTextRaster->BoundsRect();
  const int32_t S = std::min(Position, 0);
  if (Horizontal) {
    R.Left = CheckedSub(W, Off);
    R.Top = S;
  } else {
    R.Left = S;
    R.Top = CheckedSub(H, Off);
  }
  plat::DrawText(FTextRaster->Canvas->Handle(), Drawn, -1, R, Flags);
  FAlpha->Fill(uint8_t(TextAlpha()));
  FAlpha->Blend(FTextRaster.get(), FWork.get(), FWork.get());
  const int32_t Band = std::max(Position, 0);
  if (Horizontal)
    FWork->DrawTo(Screen, 0, Band);
  else
    FWork->DrawTo(Screen, Band, 0);
}

// ---------------------------------------------------------------------------------------------
// TFlyingTextSequence

RIZ_PUBLISHED(TFlyingTextSequence) {
  D.Enumeration("Alignment", THorizontalAlignmentNames, &TFlyingTextSequence::Alignment);
  D.Integer("StartX", &TFlyingTextSequence::StartX, &TFlyingTextSequence::SetStartX);
  D.Integer("StartY", &TFlyingTextSequence::StartY, &TFlyingTextSequence::SetStartY);
  D.Integer("EndX", &TFlyingTextSequence::EndX, &TFlyingTextSequence::SetEndX);
  D.Integer("EndY", &TFlyingTextSequence::EndY, &TFlyingTextSequence::SetEndY);
  D.Boolean("UseCurve", &TFlyingTextSequence::UseCurve);
  D.Object("FlightPath", &TFlyingTextSequence::FlightPath, &TFlyingTextSequence::SetFlightPath);
  D.Boolean("FadeIn", &TFlyingTextSequence::FadeIn);
  D.Integer("ScaleFXPercent", &TFlyingTextSequence::ScaleFXPercent);
  D.Enumeration("ScaleFXMode", TTextScaleFXModeNames, &TFlyingTextSequence::ScaleFXMode);
  D.Integer("ScaleFXRepeat", &TFlyingTextSequence::ScaleFXRepeat);
}

TFlyingTextSequence::TFlyingTextSequence() : FFlightPath(std::make_unique<TBSpline>()) {
  FFlightPath->AddPoint(Point(0, 0));
  FFlightPath->AddPoint(Point(64, 64));
}

TFlyingTextSequence::~TFlyingTextSequence() = default;

void TFlyingTextSequence::SetFlightPath(const TBSpline* Value) { FFlightPath->Assign(Value); }

int32_t TFlyingTextSequence::StartX() const { return BSplineEndPoint(*FFlightPath, false).X; }
int32_t TFlyingTextSequence::StartY() const { return BSplineEndPoint(*FFlightPath, false).Y; }
int32_t TFlyingTextSequence::EndX() const { return BSplineEndPoint(*FFlightPath, true).X; }
int32_t TFlyingTextSequence::EndY() const { return BSplineEndPoint(*FFlightPath, true).Y; }
void TFlyingTextSequence::SetStartX(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, false, false, Value); }
void TFlyingTextSequence::SetStartY(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, false, true, Value); }
void TFlyingTextSequence::SetEndX(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, true, false, Value); }
void TFlyingTextSequence::SetEndY(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, true, true, Value); }

int32_t TFlyingTextSequence::ScaledFontHeight(int32_t Percent) const {
  // Wide, so that an extreme stored percent gives a huge font rather than an error per frame.
  const int64_t H = int64_t(FFont.Height) * Percent / 100;
  return int32_t(std::clamp<int64_t>(H, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

TPoint TFlyingTextSequence::MeasurePlainText() const { return MeasureText(FFont, Text, 0, 0); }

TPoint TFlyingTextSequence::MeasureScaledText(int32_t Percent) const {
  return MeasureText(FFont, Text, 0, ScaledFontHeight(Percent));
}

int32_t TFlyingTextSequence::ScalePercentAt(int32_t E, int32_t D) const {
  // Wide arithmetic: the result always lies between 100 and ScaleFXPercent, but the products
  // on the way may not fit 32 bits.
  // Without a duration there is nothing to scale over.
  if (D <= 0) return 100;
  const int64_t Pct = ScaleFXPercent;
  const int64_t Rep = std::max(ScaleFXRepeat, 0);
  int64_t Per;
  switch (ScaleFXMode) {
    case ftsmNormal: Per = D / (Rep + 1) + 1; break;
    case ftsmPingPong: Per = D / ((Rep + 1) * 2) + 1; break;
    default: return 100;
  }
  const int64_t Ph = E % Per;
  int64_t R;
  if (ScaleFXMode == ftsmNormal || (E / Per) % 2 == 0)
    R = 100 + (Pct - 100) * Ph / Per;
  else
    R = 100 + (Pct - 100) * (Per - Ph) / Per;
  return int32_t(R);
}

bool TFlyingTextSequence::Blended() const { return EffectiveTransparency() >= 1 || FadeIn; }

int32_t TFlyingTextSequence::FlyingAlpha(int32_t E) const {
  const int32_t A = TextAlpha();
  if (FadeIn && Duration > 0) return int32_t(int64_t(E) * A / Duration);
  return A;
}

void TFlyingTextSequence::Resolution(int32_t& RW, int32_t& RH) const {
  RW = RH = 0;
  if (FProject && FProject->RizuderInfo()) {
    RW = FProject->RizuderInfo()->ResolutionWidth();
    RH = FProject->RizuderInfo()->ResolutionHeight();
  }
  if (RW > 0 && RH > 0) return;
  if (const TDIBRaster* Screen = ControlRaster()) {
    RW = Screen->Width;
    RH = Screen->Height;
  }
}

void TFlyingTextSequence::Prepare() {
  inherited::Prepare();
  int32_t RW, RH;
  Resolution(RW, RH);
  TPoint E = ScaleFXPercent > 100 ? MeasureScaledText(ScaleFXPercent) : MeasurePlainText();
  E.X = ClampToRange(E.X, 0, CheckedMul(RW, int32_t{2}));
  E.Y = ClampToRange(E.Y, 0, CheckedMul(RH, int32_t{2}));
  FTextSize = E;
  const int32_t AW = ClampToRange(CheckedAdd(CheckedMul(E.X, int32_t{2}), RW), 1, CheckedMul(RW, int32_t{2}));
  const int32_t AH = ClampToRange(CheckedAdd(CheckedMul(E.Y, int32_t{2}), RH), 1, CheckedMul(RH, int32_t{2}));
  FPathOffset = Point((AW - RW) / 2, (AH - RH) / 2);
  if (Blended()) {
    FTextRaster = std::make_unique<TDIBRaster>(FTextSize.X, FTextSize.Y);
    FWork = std::make_unique<TDIBRaster>(FTextSize.X, FTextSize.Y);
    FAlpha = std::make_unique<TAlphaChannel>(FTextSize.X, FTextSize.Y);
    if (FTextRaster->Canvas) SelectFont(*FTextRaster->Canvas);
  }
  FFlightPath->EnsureKnots();
}

void TFlyingTextSequence::Unprepare() {
  FTextRaster.reset();
  FWork.reset();
  FAlpha.reset();
  inherited::Unprepare();
}

void TFlyingTextSequence::Step() {
  inherited::Step();
  TDIBRaster* Screen = ControlRaster();
  if (!Screen) return;
  if (FBackground)
    FBackground->CopyRect(Screen, Rect(PointSub(FLastPos, Point(1, 1)),
                                       PointAdd(PointAdd(FLastPos, FTextSize), Point(1, 1))));

  const int32_t Elapsed_ = Elapsed();
  const TPoint P = FFlightPath->GetPoint(Elapsed_, Duration);
  const TPoint Pos = PointSub(P, FPathOffset);
  FLastPos = Pos;
  TRect R = Rect(Pos, PointAdd(Pos, FTextSize));

  const int32_t Height = ScaledFontHeight(ScalePercentAt(Elapsed_, Duration));
  // A height of 0 would ask for the default size: a text shrunk that far is not drawn at all.
  if (Height == 0 && FFont.Height != 0) return;
  const uint32_t Flags = AlignmentToDrawTextFlags(Alignment) | TextFlags;

  if (!Blended()) {
    if (!Screen->Canvas) return;
    Screen->Canvas->Font.Height = Height;
    plat::DrawText(Screen->Canvas->Handle(), Text, -1, R, Flags);
    return;
  }
  if (!FTextRaster || !FTextRaster->Canvas || !FWork || !FAlpha) return;
  FWork->CopyFromAt(Screen, Pos.X, Pos.Y);
  FWork->CopyTo(FTextRaster.get());
  FTextRaster->Canvas->Font.Height = Height;
  TRect B = FTextRaster->BoundsRect();
  plat::DrawText(FTextRaster->Canvas->Handle(), Text, -1, B, Flags);
  FAlpha->Fill(uint8_t(FlyingAlpha(Elapsed_)));
  FAlpha->Blend(FTextRaster.get(), FWork.get(), FWork.get());
  FWork->DrawTo(Screen, Pos.X, Pos.Y);
}
