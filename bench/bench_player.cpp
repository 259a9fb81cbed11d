// One frame of the show as the play loop makes it: the animation control's Step (the slide
// copies its 1600 x 1200 page into the raster) and the paint of that raster stretched over a
// 1920 x 1200 client area, through the widget's own paint event into a picture (as into a
// backing store). Items processed count frames, so items per second are frames per second.

#include <benchmark/benchmark.h>

#include "bench/PlayerBench.h"

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <memory>

#include "platform/FakeMediaPlayer.h"
#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "tools/DemoSaver.h"

namespace {

uint32_t GNow = 1000;

struct TSlideShow {
  TFakeMediaSystem Media;  // no sound device is needed to measure frames
  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;

  TSlideShow() {
    demosaver::TDemoOptions O;
    O.Resolution = sr1600x1200;
    O.Pictures = 1;
    O.PictureWidth = 1600;
    O.PictureHeight = 1200;
    O.Sound = false;
    O.Movie = false;
    O.NoFonts = true;
    O.WithDemoSequences = false;
    O.ExtraSequences.push_back([](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
      auto S = std::make_unique<TSlideSequence>();
      S->MediaID = M.Pictures[0];
      S->Color = 0x336699;
      S->Duration = INT32_MAX;  // one slide for the whole run
      P.Sequences()->Add(std::move(S));
    });
    Project = demosaver::MakeDemoProject(O);
    Control = std::make_unique<TAnimationControl>();
    Control->resize(1920, 1200);
    Control->SetProject(Project.get());
    Control->Start();
  }
};

void BM_StepAndPaint(benchmark::State& State) {
  TSlideShow Show;
  QImage Target(1920, 1200, QImage::Format_RGB32);
  for (auto _ : State) {
    ++GNow;
    Show.Control->Step();
    Show.Control->render(&Target);
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations());
  State.SetLabel("frames");
}
BENCHMARK(BM_StepAndPaint)->Unit(benchmark::kMicrosecond);

// The step alone: the page copied into the raster.
void BM_Step(benchmark::State& State) {
  TSlideShow Show;
  for (auto _ : State) {
    ++GNow;
    Show.Control->Step();
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations());
  State.SetLabel("frames");
}
BENCHMARK(BM_Step)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunPlayerBenchmarks(argc, argv, GNow); }
