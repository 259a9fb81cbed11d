#include "player/ScreenSaverSequences.h"
#include "tools/DemoKinds.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoWaveMakers() {
  return {
      // A turning flower of glowing stars drawn over the last picture, which is pulled slowly
      // toward the centre and fades into trails; the tone marks its start.
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        auto S = TSequence::CreateNamed<TPSSSWaveSequence>("Sternenblume", nullptr);
        S->Duration = 4000;
        S->SoundMediaID = M.Sound;
        S->SoundPlayMode = spmOnce;
        TWaveConfig& C = *S->WaveCfg();
        C.Name = "Sternenblume";
        C.ParticleCount = 720;
        C.RenderMode = rmDrawStars;
        C.Speed = 0.01f;
        // Radius 60 (of 256) with five petals of 20 whose size breathes with the phase.
        C.Waves.At(0, waX) = {90, {60, 0, 0}, {1, 0, 0}};
        C.Waves.At(0, waY) = {0, {60, 0, 0}, {1, 0, 0}};
        C.Waves.At(1, waX) = {90, {20, 10, 40}, {5, 0, 0}};
        C.Waves.At(1, waY) = {0, {20, 10, 40}, {5, 0, 0}};
        C.Waves.At(0, waZ) = {0, {25, 0, 0}, {3, 1, 25}};
        C.Angle = {20, 0, 0};
        C.Rot = {0.08f, 0.15f, 0.1f};  // degrees per frame
        C.BaseRed = 128;
        C.AmpRed = 127;
        C.FreqRed = 2;
        C.BaseGreen = 96;
        C.AmpGreen = 96;
        C.FreqGreen = 3;
        C.BaseBlue = 160;
        C.AmpBlue = 95;
        C.FreqBlue = 1;
        C.ShiftRed = 0.5f;
        C.ShiftGreen = 0.8f;
        C.ShiftBlue = 1.1f;
        C.MotionBlur = 4;
        C.TransMapFilter = true;
        C.TransMapMode = tmmApplyBefore;
        C.TransMapStyle = tmsWavedZoom;
        C.ZoomCenterX = 50;
        C.ZoomCenterY = 50;
        // An even pull of one percent toward the centre, rippled a little along both axes.
        C.SinMagicParams = {0.01f, 0.004f, 0, 0, 0, 3, 0, 0, 0.01f, 0.004f, 0, 0, 0, 2, 0, 0};
        P.Sequences()->Add(std::move(S));
      },
  };
}

}  // namespace demosaver
