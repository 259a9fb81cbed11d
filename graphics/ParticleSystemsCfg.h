#pragma once
// The persistent settings of one particle-wave effect: how many particles and how they are
// drawn, how their positions and colours oscillate, and which raster filters (translation map,
// smoothing, motion blur) the particle-wave sequence applies around them.

#include <array>
#include <bit>
#include <cstdint>
#include <string>

#include "graphics/ParticleSystems.h"
#include "graphics/World3d.h"
#include "persistence/ReflectionObjects.h"

static_assert(std::endian::native == std::endian::little,
              "the stored wave values are little-endian singles");

// Value at phase t: Offset + Amp * sin((t * Freq) / 57.29578), Freq in degrees per unit of t.
struct TOscillator {
  float Offset = 0, Amp = 0, Freq = 0;
};

// One wave along one axis: its phase (degrees), its amplitude and its frequency (in multiples of
// the particle angle), each oscillating with the figure's phase.
struct TWaveAxis {
  float Phase = 0;
  TOscillator AmpOsc;
  TOscillator FreqOsc;
};

inline constexpr int WaveCount = 3;
enum TWaveAxisIndex : int { waX = 0, waY = 1, waZ = 2 };

// Three waves of three axes, wave-major: wave 0 x, y, z, wave 1 x, ...; stored as 63 singles.
struct TWaveTable {
  std::array<TWaveAxis, WaveCount * 3> Axes;
  TWaveAxis& At(int Wave, int Axis) { return Axes[size_t(Wave * 3 + Axis)]; }
  const TWaveAxis& At(int Wave, int Axis) const { return Axes[size_t(Wave * 3 + Axis)]; }
};
static_assert(sizeof(TWaveAxis) == 28 && sizeof(TWaveTable) == 252, "stored layout");
static_assert(sizeof(TAngles3) == 12, "stored layout");

// The parameter block of the translation maps: P[0..3] x amplitudes, P[4..7] x frequencies,
// P[8..11] y amplitudes, P[12..15] y frequencies.
using TSinMagicParams = std::array<float, 16>;
static_assert(sizeof(TSinMagicParams) == 64, "stored layout");

// Whether the particles are drawn before (tmmApplyAfter) or after (tmmApplyBefore) the map.
enum TTransMapMode : uint8_t { tmmApplyBefore = 0, tmmApplyAfter = 1 };
inline constexpr const char* TTransMapModeNames[] = {"tmmApplyBefore", "tmmApplyAfter"};

enum TTransMapStyle : uint8_t {
  tmsWaved = 0,
  tmsWavedZoom = 1,
  tmsWavedZoomOverlay = 2,
  tmsWavedZoomCombined = 3
};
inline constexpr const char* TTransMapStyleNames[] = {"tmsWaved", "tmsWavedZoom",
                                                      "tmsWavedZoomOverlay", "tmsWavedZoomCombined"};

class TWaveConfig : public TReflectivePersistent {
  RIZ_REFLECTIVE(TWaveConfig, TReflectivePersistent)
public:
  // "Empty": 200 particles on a circle of radius 128 in the x-y plane, black, drawn as pixels,
  // no filters, for a raster of 256 x 256.
  TWaveConfig();

  // Re-scales the wave amplitudes given for OldWidth x OldHeight to Width x Height: x by the
  // widths, y by the heights, z by the means of the two.
  void ScaleToRaster(float OldWidth, float OldHeight);
  // Turns the percent amplitudes of SinMagicParams into pixels of a W x H raster.
  void ScaleSinParams(int32_t W, int32_t H);

  // The wave table, the two angles and both parameter blocks.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // "Waves" (252 bytes), "Angle", "Rot" (12 each), "SinMagicParams", "SinMagicParams2" (64 each).
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

  bool SmoothFilter = false;
  bool TransMapFilter = false;
  int32_t ZoomCenterY = 0;    // percent of the raster height
  int32_t ZoomCenterX = 0;    // percent of the raster width
  int32_t MotionBlur = 0;     // fade shift per frame (its low byte)
  int32_t Height = 256;       // raster size the wave amplitudes are given for
  int32_t ParticleCount = 200;
  int32_t Width = 256;
  float FreqBlue = 1.0f;
  float BaseGreen = 0;
  float Pos = 0;              // phase at the start
  float ShiftGreen = 0.2f;
  float Speed = 0.05f;        // added to Pos per frame
  float FreqRed = 1.0f;
  float AmpBlue = 0;
  float ShiftBlue = 0.3f;
  float AmpRed = 0;
  float AmpGreen = 0;
  float FreqGreen = 1.0f;
  float BaseBlue = 0;
  float ShiftRed = 0.1f;
  float BaseRed = 0;
  std::string Name = "Empty";
  TAngles3 Rot;    // rotation added per frame
  TAngles3 Angle;  // initial rotation of the figure
  TRenderMode RenderMode = rmDraw;
  TSinMagicParams SinMagicParams2{};
  TSinMagicParams SinMagicParams{};
  TTransMapMode TransMapMode = tmmApplyBefore;
  TTransMapStyle TransMapStyle = tmsWaved;
  TWaveTable Waves;
};

// Registers TWaveConfig.
void RegisterParticleSystemsCfgClasses();
