// One frame of a tile transition at 1600 x 1200: the clone's Step as the play loop calls it,
// with the clock held at a share of the transition's time, so that every iteration recomputes
// the same finished cells and blends the whole picture. Arguments: the share of the time in
// percent, the walk (0 line by line, 1 spiral) and the path (1 fast, 0 plain). Items
// processed count frames.

#include <benchmark/benchmark.h>

#include "bench/PlayerBench.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "persistence/CPUUtility.h"
#include "platform/FakeMediaPlayer.h"
#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "tools/DemoSaver.h"

namespace {

uint32_t GNow = 1000;

constexpr int32_t TransitionMs = 8000;

struct TTileShow {
  TFakeMediaSystem Media;
  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;
  TTileBlendSequence* Tiles = nullptr;
  uint32_t Begun = 0;

  TTileShow(int Cols, int Rows, TTilingMode Mode) {
    demosaver::TDemoOptions O;
    O.Resolution = sr1600x1200;
    O.Pictures = 2;
    O.PictureWidth = 1600;
    O.PictureHeight = 1200;
    O.Sound = false;
    O.Movie = false;
    O.NoFonts = true;
    O.WithDemoSequences = false;
    O.ExtraSequences.push_back([=](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
      for (int I = 0; I < 2; ++I) {
        auto S = std::make_unique<TSlideSequence>();
        S->MediaID = M.Pictures[size_t(I)];
        S->Duration = 10;
        if (I == 1) {
          TTileBlendSequence T;
          T.TileCountX = Cols;
          T.TileCountY = Rows;
          T.TilingMode = Mode;
          T.Duration = TransitionMs;
          S->SetTransition(&T);
        }
        P.Sequences()->Add(std::move(S));
      }
    });
    Project = demosaver::MakeDemoProject(O);
    Control = std::make_unique<TAnimationControl>();
    Control->SetProject(Project.get());
    Control->Start();
    Control->Step();
    GNow += 10;
    Control->Step();  // the first slide ends; the transition takes its pictures
    Tiles = dynamic_cast<TTileBlendSequence*>(Control->CurrentSequence());
    Begun = GNow;
  }
};

void BM_TileStep(benchmark::State& State) {
  const int64_t Percent = State.range(0);
  const TTilingMode Mode = State.range(1) ? tmSpiralToInner : tmLineByLine;
  if (State.range(2))
    ClearProcessorOverride();
  else
    OverrideProcessorFeatures(false, false);
  TTileShow Show(8, 8, Mode);
  if (!Show.Tiles) {
    State.SkipWithError("the tile transition did not start");
    return;
  }
  GNow = Show.Begun + uint32_t(TransitionMs * Percent / 100);
  for (auto _ : State) {
    Show.Tiles->NextFrame();
    benchmark::ClobberMemory();
  }
  ClearProcessorOverride();
  State.SetItemsProcessed(State.iterations());
  State.SetLabel("frames");
}
BENCHMARK(BM_TileStep)
    ->ArgNames({"percent", "spiral", "fast"})
    ->ArgsProduct({{0, 50, 100}, {0, 1}, {1}})
    ->Args({50, 0, 0})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunPlayerBenchmarks(argc, argv, GNow); }
