#include "graphics/ParticleSystemsCfg.h"

#include "persistence/PropertyBags.h"

using fpu::Sgl;

RIZ_PUBLISHED(TWaveConfig) {
  D.String("Name", &TWaveConfig::Name);
  D.Integer("ParticleCount", &TWaveConfig::ParticleCount);
  D.Integer("MotionBlur", &TWaveConfig::MotionBlur);
  D.Boolean("SmoothFilter", &TWaveConfig::SmoothFilter);
  D.Boolean("TransMapFilter", &TWaveConfig::TransMapFilter);
  D.Enumeration("RenderMode", TRenderModeNames, &TWaveConfig::RenderMode);
  D.Enumeration("TransMapMode", TTransMapModeNames, &TWaveConfig::TransMapMode);
  D.Enumeration("TransMapStyle", TTransMapStyleNames, &TWaveConfig::TransMapStyle);
  D.Integer("ZoomCenterX", &TWaveConfig::ZoomCenterX);
  D.Integer("ZoomCenterY", &TWaveConfig::ZoomCenterY);
  D.Float("Speed", &TWaveConfig::Speed);
  D.Float("Pos", &TWaveConfig::Pos);
  D.Float("BaseRed", &TWaveConfig::BaseRed);
  D.Float("BaseGreen", &TWaveConfig::BaseGreen);
  D.Float("BaseBlue", &TWaveConfig::BaseBlue);
  D.Float("AmpRed", &TWaveConfig::AmpRed);
  D.Float("AmpGreen", &TWaveConfig::AmpGreen);
  D.Float("AmpBlue", &TWaveConfig::AmpBlue);
  D.Float("FreqRed", &TWaveConfig::FreqRed);
  D.Float("FreqGreen", &TWaveConfig::FreqGreen);
  D.Float("FreqBlue", &TWaveConfig::FreqBlue);
  D.Float("ShiftRed", &TWaveConfig::ShiftRed);
  D.Float("ShiftGreen", &TWaveConfig::ShiftGreen);
  D.Float("ShiftBlue", &TWaveConfig::ShiftBlue);
  D.Integer("Width", &TWaveConfig::Width);
  D.Integer("Height", &TWaveConfig::Height);
}

TWaveConfig::TWaveConfig() {
  TWaveAxis& X = Waves.At(0, waX);
  X.Phase = 90;
  X.AmpOsc = {128, 0, 0};
  X.FreqOsc = {1, 0, 0};
  TWaveAxis& Y = Waves.At(0, waY);
  Y.Phase = 0;
  Y.AmpOsc = {128, 0, 0};
  Y.FreqOsc = {1, 0, 0};
}

void TWaveConfig::ScaleToRaster(float OldWidth, float OldHeight) {
  const float OldMean = Sgl(double(Sgl(double(OldWidth) + OldHeight)) / 2.0);
  const float NewMean = Sgl(double(CheckedAdd(Width, Height)) / 2.0);
  // (New * value) / Old, the product and the quotient each narrowed.
  const auto Scale = [](TOscillator& O, double New, float Old) {
    O.Offset = Sgl(double(Sgl(New * O.Offset)) / Old);
    O.Amp = Sgl(double(Sgl(New * O.Amp)) / Old);
  };
  for (int W = 0; W < WaveCount; ++W) {
    Scale(Waves.At(W, waX).AmpOsc, double(Width), OldWidth);
    Scale(Waves.At(W, waY).AmpOsc, double(Height), OldHeight);
    Scale(Waves.At(W, waZ).AmpOsc, NewMean, OldMean);
  }
}

void TWaveConfig::ScaleSinParams(int32_t W, int32_t H) {
  TSinMagicParams& P = SinMagicParams;
  for (size_t K = 0; K < 4; ++K) {
    P[K] = Sgl(double(Sgl(double(W) * P[K])) / 100.0);
    P[8 + K] = Sgl(double(Sgl(double(H) * P[8 + K])) / 100.0);
  }
}

void TWaveConfig::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  const auto& S = static_cast<const TWaveConfig&>(Source);
  Waves = S.Waves;
  Angle = S.Angle;
  Rot = S.Rot;
  SinMagicParams = S.SinMagicParams;
  SinMagicParams2 = S.SinMagicParams2;
}

namespace {
// Reads into a copy first: a value that fails to arrive leaves the field as it was.
template <class T>
void ReadExact(TPropertyBag& Bag, const char* Name, T& Field) {
  T Value = Field;
  Bag.ReadBinaryValue(Name, &Value, static_cast<int32_t>(sizeof(T)));
  Field = Value;
}
}  // namespace

void TWaveConfig::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  ReadExact(Bag, "Waves", Waves);
  ReadExact(Bag, "Angle", Angle);
  ReadExact(Bag, "Rot", Rot);
  ReadExact(Bag, "SinMagicParams", SinMagicParams);
  ReadExact(Bag, "SinMagicParams2", SinMagicParams2);
}

void TWaveConfig::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.WriteBinaryValue("Waves", &Waves, sizeof Waves);
  Bag.WriteBinaryValue("Angle", &Angle, sizeof Angle);
  Bag.WriteBinaryValue("Rot", &Rot, sizeof Rot);
  Bag.WriteBinaryValue("SinMagicParams", &SinMagicParams, sizeof SinMagicParams);
  Bag.WriteBinaryValue("SinMagicParams2", &SinMagicParams2, sizeof SinMagicParams2);
}

void RegisterParticleSystemsCfgClasses() { RegisterReflectiveClass<TWaveConfig>(); }
