#include "player/ScreenSaverSequences_Logo.h"

#include <algorithm>

#include "persistence/BasicUtility.h"
#include "player/ScreenSaverAnimator.h"

RIZ_PUBLISHED(TLogoSequence) {
  D.Integer("StartX", &TLogoSequence::StartX, &TLogoSequence::SetStartX);
  D.Integer("StartY", &TLogoSequence::StartY, &TLogoSequence::SetStartY);
  D.Integer("EndX", &TLogoSequence::EndX, &TLogoSequence::SetEndX);
  D.Integer("EndY", &TLogoSequence::EndY, &TLogoSequence::SetEndY);
  D.Boolean("UseCurve", &TLogoSequence::UseCurve);
  D.Object("FlightPath", &TLogoSequence::FlightPath, &TLogoSequence::SetFlightPath);
  D.Integer("Transparency", &TLogoSequence::Transparency);
  D.Boolean("FadeIn", &TLogoSequence::FadeIn);
}

TLogoSequence::TLogoSequence() : FFlightPath(std::make_unique<TBSpline>()) {
  FFlightPath->AddPoint(Point(0, 0));
  FFlightPath->AddPoint(Point(64, 64));
}

TLogoSequence::~TLogoSequence() = default;

void TLogoSequence::SetFlightPath(const TBSpline* Value) { FFlightPath->Assign(Value); }

int32_t TLogoSequence::StartX() const { return BSplineEndPoint(*FFlightPath, false).X; }
int32_t TLogoSequence::StartY() const { return BSplineEndPoint(*FFlightPath, false).Y; }
int32_t TLogoSequence::EndX() const { return BSplineEndPoint(*FFlightPath, true).X; }
int32_t TLogoSequence::EndY() const { return BSplineEndPoint(*FFlightPath, true).Y; }
void TLogoSequence::SetStartX(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, false, false, Value); }
void TLogoSequence::SetStartY(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, false, true, Value); }
void TLogoSequence::SetEndX(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, true, false, Value); }
void TLogoSequence::SetEndY(int32_t Value) { SetBSplineEndCoordinate(*FFlightPath, true, true, Value); }

bool TLogoSequence::Blended() const { return ClampToRange(Transparency, 0, 100) > 0 || FadeIn; }

int32_t TLogoSequence::LogoAlpha(int32_t E) const {
  const int32_t Base = 255 - ClampToRange(Transparency, 0, 100) * 255 / 100;
  // Elapsed times beyond 2^31 / 255 ms are real (a long logo), so the product is wide.
  if (FadeIn && Duration > 0) return int32_t(int64_t(E) * Base / Duration);
  return Base;
}

void TLogoSequence::Prepare() {
  inherited::Prepare();
  TDIBRaster* Screen = FAnimationControl ? FAnimationControl->Raster() : nullptr;
  TPicture* Picture = GetMediaPicture();
  if (Picture) {
    FLogo = std::make_unique<TDIBRaster>(Picture->Width(), Picture->Height());
    if (FLogo->Canvas) FLogo->Canvas->Draw(0, 0, Picture->Graphic());
  }
  if (Screen) {
    FBackground = std::make_unique<TDIBRaster>(Screen->Width, Screen->Height);
    Screen->CopyTo(FBackground.get());
  }
  if (Picture && Blended()) {
    FWork = std::make_unique<TDIBRaster>(Picture->Width(), Picture->Height());
    FAlpha = std::make_unique<TAlphaChannel>(Picture->Width(), Picture->Height());
  }
  FFlightPath->EnsureKnots();
}

void TLogoSequence::Unprepare() {
  FLogo.reset();
  FBackground.reset();
  FWork.reset();
  FAlpha.reset();
  inherited::Unprepare();
}

void TLogoSequence::Step() {
  inherited::Step();
  if (!FLogo || !FAnimationControl) return;
  TDIBRaster* Screen = FAnimationControl->Raster();
  const int32_t W = FLogo->Width;
  const int32_t H = FLogo->Height;

  if (FBackground)
    FBackground->CopyRect(Screen, Rect(FLastPos, PointAdd(FLastPos, Point(W - 1, H - 1))));

  const int32_t E = Elapsed();
  const TPoint C = FFlightPath->GetPoint(E, Duration);
  const TPoint P = PointSub(C, Point(W, H));
  FLastPos = P;

  if (!Blended()) {
    FLogo->DrawTo(Screen, P.X, P.Y);
    return;
  }
  if (!FWork || !FAlpha) return;  // blending switched on after Prepare: nothing to blend with
  FWork->CopyFromAt(Screen, P.X, P.Y);
  FAlpha->Fill(uint8_t(LogoAlpha(E)));
  FAlpha->Blend(FLogo.get(), FWork.get(), FWork.get());
  FWork->DrawTo(Screen, P.X, P.Y);
}
