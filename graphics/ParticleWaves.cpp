#include "graphics/ParticleWaves.h"

#include <algorithm>

using fpu::Sgl;

namespace {
// Offset + Amp * sin((t * Freq) / 57.29578), every step narrowed.
float OscillatorValue(const TOscillator& O, float T) {
  const float Arg = Sgl(double(Sgl(double(T) * O.Freq)) / double(DegPerRad));
  return Sgl(double(O.Offset) + double(Sgl(double(O.Amp) * fpu::Sin(Arg))));
}

// Round(sin(Theta * Freq / 57.29578 + Pos * Shift) * Amp + Base), clamped to a channel.
int32_t Channel(float Theta, float Pos, float Freq, float Shift, float Amp, float Base) {
  const float Angle = Sgl(double(Sgl(double(Theta) * Freq)) / double(DegPerRad));
  const float Arg = Sgl(double(Angle) + double(Sgl(double(Pos) * Shift)));
  const float V = Sgl(double(Sgl(fpu::Sin(Arg) * Amp)) + Base);
  return std::clamp(fpu::RoundChecked(V), 0, 255);
}

constexpr float TVector3::*AxisField[3] = {&TVector3::x, &TVector3::y, &TVector3::z};
}  // namespace

void TParticleWaves::Move() {
  const int32_t N = Count;
  float A[WaveCount][3], F[WaveCount][3], Ph[WaveCount][3];
  for (int W = 0; W < WaveCount; ++W)
    for (int Ax = 0; Ax < 3; ++Ax) {
      const TWaveAxis& Wave = Waves.At(W, Ax);
      A[W][Ax] = OscillatorValue(Wave.AmpOsc, Pos);
      F[W][Ax] = Sgl(double(OscillatorValue(Wave.FreqOsc, Pos)) / double(DegPerRad));
      Ph[W][Ax] = Wave.Phase;
    }
  // With no particles this is infinite and never applied.
  const float DTheta = Sgl(360.0 / double(N));

  for (int Ax = 0; Ax < 3; ++Ax) {
    float TVector3::*Coord = AxisField[Ax];
    for (int W = 0; W < WaveCount; ++W) {
      if (A[W][Ax] == 0) {
        if (W == 0)
          for (int32_t I = 0; I < N; ++I) Vertices[I].*Coord = 0;
        continue;
      }
      float Theta = 0;  // a running sum, as the figure has always been drawn
      for (int32_t I = 0; I < N; ++I) {
        const float Arg = Sgl(double(Sgl(double(Theta) + Ph[W][Ax])) * F[W][Ax]);
        const float Term = Sgl(double(A[W][Ax]) * fpu::Sin(Arg));
        float& C = Vertices[I].*Coord;
        C = W == 0 ? Term : Sgl(double(C) + Term);
        Theta = Sgl(double(Theta) + DTheta);
      }
    }
  }

  float Theta = 0;
  for (int32_t I = 0; I < N; ++I) {
    const int32_t R = Channel(Theta, Pos, FreqRed, ShiftRed, AmpRed, BaseRed);
    const int32_t G = Channel(Theta, Pos, FreqGreen, ShiftGreen, AmpGreen, BaseGreen);
    const int32_t B = Channel(Theta, Pos, FreqBlue, ShiftBlue, AmpBlue, BaseBlue);
    Colors[I] = TPixel(R) << 16 | TPixel(G) << 8 | TPixel(B);
    Theta = Sgl(double(Theta) + DTheta);
  }

  Pos = Sgl(double(Pos) + Speed);
  TParticleSystem::Move();
}

void TParticleWaves::ApplyConfig(const TWaveConfig& Config) {
  if (Config.ParticleCount > MaxConfiguredParticles) throw ERangeError(SRangeError);
  SetCount(Config.ParticleCount);
  SetRenderMode(Config.RenderMode);
  Waves = Config.Waves;
  Speed = Config.Speed;
  Pos = Config.Pos;
  BaseRed = Config.BaseRed;
  BaseGreen = Config.BaseGreen;
  BaseBlue = Config.BaseBlue;
  AmpRed = Config.AmpRed;
  AmpGreen = Config.AmpGreen;
  AmpBlue = Config.AmpBlue;
  FreqRed = Config.FreqRed;
  FreqGreen = Config.FreqGreen;
  FreqBlue = Config.FreqBlue;
  ShiftRed = Config.ShiftRed;
  ShiftGreen = Config.ShiftGreen;
  ShiftBlue = Config.ShiftBlue;
  Rotation = Config.Angle;
  AngularVelocity = Config.Rot;
}
