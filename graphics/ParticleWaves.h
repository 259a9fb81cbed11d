#pragma once
// The wave particle figure: particles on a closed figure made of sums of sine waves along x, y
// and z, coloured by sines, all slowly changing with a phase Pos that advances every frame.

#include "graphics/ParticleSystems.h"
#include "graphics/ParticleSystemsCfg.h"

class TParticleWaves : public TParticleSystem {
public:
  std::string ClassName() const override { return "TParticleWaves"; }

  // Places and colours every particle at the phase Pos, advances Pos by Speed, then rotates
  // and moves the figure (TParticleSystem::Move). Particle i sits at the angle i * 360 / Count
  // degrees around the figure.
  void Move() override;
  // SetCount(ParticleCount), SetRenderMode(RenderMode), the waves, speed, phase and the twelve
  // colour values copied; Rotation := Angle; AngularVelocity := Rot. A stored count above
  // MaxConfiguredParticles raises the range error before anything is allocated.
  void ApplyConfig(const TWaveConfig& Config);

  // A configuration comes from a screen-saver file: its count must not make a few bytes of file
  // claim gigabytes of buffers (36 bytes a particle).
  static constexpr int32_t MaxConfiguredParticles = 1 << 20;

  TWaveTable Waves;
  float Speed = 0;
  float Pos = 0;
  float BaseRed = 0, BaseGreen = 0, BaseBlue = 0;
  float AmpRed = 0, AmpGreen = 0, AmpBlue = 0;
  float FreqRed = 0, FreqGreen = 0, FreqBlue = 0;
  float ShiftRed = 0, ShiftGreen = 0, ShiftBlue = 0;
};
