#include "player/ScreenSaverSequences_Waves.h"

#include "persistence/PropertyBags.h"
#include "player/ScreenSaverAnimator.h"

RIZ_PUBLISHED(TPSSSWaveSequence) { D.Boolean("ContinueFX", &TPSSSWaveSequence::ContinueFX); }

TPSSSWaveSequence::TPSSSWaveSequence()
    : FWaves(std::make_unique<TParticleWaves>()),
      FWaveCfg(std::make_unique<TWaveConfig>()),
      FWorkCfg(std::make_unique<TWaveConfig>()) {}

TPSSSWaveSequence::~TPSSSWaveSequence() = default;

void TPSSSWaveSequence::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  const auto& S = static_cast<const TPSSSWaveSequence&>(Source);
  FWaveCfg->Assign(S.FWaveCfg.get());
  FWaves->ApplyConfig(*FWaveCfg);
  FFirstStep = S.FFirstStep;
}

void TPSSSWaveSequence::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  Bag.ReadObjectValue("WaveCfg", FWaveCfg);
}

void TPSSSWaveSequence::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteObjectValue("WaveCfg", FWaveCfg.get());
}

void TPSSSWaveSequence::Prepare() {
  inherited::Prepare();
  FWorld.reset();
  FMap.reset();
  FSmoother.reset();
  const TDIBRaster* R = FAnimationControl ? FAnimationControl->Raster() : nullptr;
  // Without a raster with pixels there is nothing to draw into: the run only keeps time.
  if (R && R->Bits) {
    const int32_t W = R->Width, H = R->Height;
    const int32_t Focal = CheckedSub(0, CheckedAdd(W, H) / 2);
    FWorld = std::make_unique<TWorld3d>(NullVector, float(Focal), NullAngles, Point(W / 2, H / 2));
    FWorld->Add(FWaves.get());
    FMap = std::make_unique<TTranslationMap>(W, H);
    FSmoother = std::make_unique<TFastSmooth>();
  }
  FFirstStep = true;
}

void TPSSSWaveSequence::Unprepare() {
  FWorld.reset();
  FMap.reset();
  FSmoother.reset();
  FWaves->World = nullptr;
  FWaves->Raster = nullptr;
  inherited::Unprepare();
}

void TPSSSWaveSequence::StartRun(const TDIBRaster& R) {
  FWorkCfg->Assign(FWaveCfg.get());
  const float OldWidth = float(FWorkCfg->Width);
  const float OldHeight = float(FWorkCfg->Height);
  // Fitted to the raster the figure is drawn into, which the control stretches over its
  // window. The window's own size would shrink the figure in the small preview and enlarge it
  // when the display keeps a resolution other than the project's.
  FWorkCfg->Width = R.Width;
  FWorkCfg->Height = R.Height;
  FWorkCfg->ScaleToRaster(OldWidth, OldHeight);
  FWaves->ApplyConfig(*FWorkCfg);

  const int32_t W = R.Width, H = R.Height;
  const int32_t CX = CheckedMul(W, FWorkCfg->ZoomCenterX) / 100;
  const int32_t CY = CheckedMul(H, FWorkCfg->ZoomCenterY) / 100;
  switch (FWorkCfg->TransMapStyle) {
    case tmsWaved:
      FWorkCfg->ScaleSinParams(W, H);
      FMap->MakeWaved(FWorkCfg->SinMagicParams);
      break;
    case tmsWavedZoom: FMap->MakeWavedZoom(FWorkCfg->SinMagicParams, CX, CY, false); break;
    case tmsWavedZoomOverlay: FMap->MakeWavedZoom(FWorkCfg->SinMagicParams, CX, CY, true); break;
    case tmsWavedZoomCombined:
      FMap->MakeWavedZoomCombined(FWorkCfg->SinMagicParams, FWorkCfg->SinMagicParams2, CX, CY);
      break;
  }
  if (ContinueFX) FWaves->Pos = FSavedPos;
}

void TPSSSWaveSequence::DrawParticles() {
  FWaves->Raster = FAnimationControl->Raster();
  FWorld->RenderAll();
}

void TPSSSWaveSequence::Step() {
  inherited::Step();
  if (FWaves->Count <= 0 || !FWorld || !FAnimationControl) return;
  TDIBRaster* R = FAnimationControl->Raster();
  if (FFirstStep) {
    FFirstStep = false;
    StartRun(*R);
  }
  const TWaveConfig& C = *FWorkCfg;
  const int Shift = C.MotionBlur & 255;
  if (C.TransMapFilter) {
    // The map always goes through the smoother, whatever SmoothFilter says.
    if (C.TransMapMode == tmmApplyAfter) DrawParticles();
    TDIBRaster* B = FAnimationControl->BackRaster();
    FMap->Execute(R, B);
    FSmoother->Execute(B, R);
    R->Fade(Shift);
    if (C.TransMapMode == tmmApplyBefore) DrawParticles();
  } else {
    if (C.SmoothFilter) {
      // The last frame becomes the back raster and is smoothed into the new front one.
      FAnimationControl->SwapBuffers();
      R = FAnimationControl->Raster();
      FSmoother->Execute(FAnimationControl->BackRaster(), R);
    }
    R->Fade(Shift);
    DrawParticles();
  }
  FSavedPos = FWaves->Pos;
}
