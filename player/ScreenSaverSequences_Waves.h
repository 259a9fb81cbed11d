#pragma once
// The particle-wave sequence: a wave figure in a small 3-D world drawn over the previous
// frames, which are distorted by a translation map, smoothed and faded (motion blur) every
// frame. Its settings are one stored configuration; at the first frame of a run a working copy
// is fitted to the size of the control's raster and applied.

#include <memory>

#include "graphics/GfxFilters.h"
#include "graphics/ParticleSystemsCfg.h"
#include "graphics/ParticleWaves.h"
#include "graphics/World3d.h"
#include "player/ScreenSaverSequences.h"

class TPSSSWaveSequence : public TScreenSaverSequence {
  RIZ_REFLECTIVE(TPSSSWaveSequence, TScreenSaverSequence)
public:
  TPSSSWaveSequence();
  ~TPSSSWaveSequence() override;

  // The project, a copy of the stored configuration (applied at once, so a clone already has
  // its particles) and whether the next step is the first of a run. The saved phase stays.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // The stored configuration as the nested object "WaveCfg".
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;
  // Opens the channels, then makes the world (camera at the origin, centre in the middle of
  // the control's raster, focal distance -((W + H) div 2)), the map and the smoother of a run.
  // Nothing is cleared: the first frame works on the picture the previous sequence left.
  void Prepare() override;
  // Frees the world, the map and the smoother; the figure, both configurations and the saved
  // phase stay for the next run.
  void Unprepare() override;
  // One frame: the map, the smoothing and the fade as configured, and the figure moved and
  // drawn. Does nothing more than start the channels while the figure has no particles.
  void Step() override;

  // The stored settings; change them before the sequence is cloned.
  TWaveConfig* WaveCfg() const { return FWaveCfg.get(); }
  // The working copy of the current run, fitted to the control's raster.
  TWaveConfig* WorkCfg() const { return FWorkCfg.get(); }
  TParticleWaves* Waves() const { return FWaves.get(); }
  TWorld3d* World() const { return FWorld.get(); }
  TTranslationMap* Map() const { return FMap.get(); }
  // The figure's phase at the end of the last step; 0 for a new object, never copied.
  float SavedPos() const { return FSavedPos; }
  bool FirstStep() const { return FFirstStep; }

  // A run starts its figure at the phase where this object's previous run ended.
  bool ContinueFX = false;

private:
  // Fits the working copy to the control and builds the map of its style.
  void StartRun(const TDIBRaster& R);
  // The figure moved one frame and drawn into the control's raster.
  void DrawParticles();

  std::unique_ptr<TParticleWaves> FWaves;  // not owned by the world
  std::unique_ptr<TWaveConfig> FWaveCfg;
  std::unique_ptr<TWaveConfig> FWorkCfg;
  std::unique_ptr<TWorld3d> FWorld;
  std::unique_ptr<TTranslationMap> FMap;
  std::unique_ptr<TFastSmooth> FSmoother;
  float FSavedPos = 0;
  bool FFirstStep = false;
};
