// One frame of the particle-wave sequence at 1600 x 1200, as the animation control steps it:
// the demo's figure (720 glowing particles) over the translation map, the smoothing and the
// fade; then the same figure with smoothing only, and with the fade alone. The first frame of
// the run (which builds the map) is made before timing. Items processed count frames, so items
// per second are frames per second.

#include <benchmark/benchmark.h>

#include "bench/PlayerBench.h"

#include <memory>

#include "platform/FakeMediaPlayer.h"
#include "player/ScreenSaverAnimator.h"
#include "tools/DemoKinds.h"

namespace {

uint32_t GNow = 1000;

enum TFilters { fMapSmoothFade = 0, fSmoothFade = 1, fFade = 2 };

struct TWaveShow {
  TFakeMediaSystem Media;
  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;

  explicit TWaveShow(TFilters Filters) {
    demosaver::TDemoOptions O;
    O.Resolution = sr1600x1200;
    O.Pictures = 1;
    O.Sound = false;
    O.Movie = false;
    O.NoFonts = true;
    O.WithDemoSequences = false;
    O.ExtraSequences = demosaver::DemoWaveMakers();
    Project = demosaver::MakeDemoProject(O);
    auto* Wave = static_cast<TPSSSWaveSequence*>(Project->Sequences()->Items(0));
    Wave->Duration = INT32_MAX;  // one run for the whole measurement
    Wave->SoundMediaID = 0;
    Wave->WaveCfg()->TransMapFilter = Filters == fMapSmoothFade;
    Wave->WaveCfg()->SmoothFilter = Filters == fSmoothFade;
    Control = std::make_unique<TAnimationControl>();
    Control->resize(1600, 1200);
    Control->SetProject(Project.get());
    Control->Start();
    ++GNow;
    Control->Step();  // the run's first frame fits the figure and builds the map
  }
};

void BM_WaveStep(benchmark::State& State) {
  TWaveShow Show(TFilters(State.range(0)));
  for (auto _ : State) {
    ++GNow;
    Show.Control->Step();
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations());
  static const char* Labels[] = {"map, smooth, fade", "smooth, fade", "fade"};
  State.SetLabel(Labels[State.range(0)]);
}
BENCHMARK(BM_WaveStep)->Arg(fMapSmoothFade)->Arg(fSmoothFade)->Arg(fFade)->Unit(benchmark::kMillisecond);

// The figure alone: one move, transform, projection and draw of the 720 particles.
void BM_FigureOnly(benchmark::State& State) {
  TWaveShow Show(fFade);
  auto* Wave = static_cast<TPSSSWaveSequence*>(Show.Control->CurrentSequence());
  for (auto _ : State) {
    Wave->World()->RenderAll();
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FigureOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunPlayerBenchmarks(argc, argv, GNow); }
