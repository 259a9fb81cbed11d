// Flight paths and the frames of logos and texts at 1600 x 1200. A curve point for paths of a
// few to many points and orders; a frame of each kind as the animation control steps it, with
// the clock advancing 16 ms per frame over a 10-second sequence that starts again when it ends
// (so a new run's snapshot is part of the average, as in the show). Items are curve points or
// frames.

#include <benchmark/benchmark.h>

#include "bench/PlayerBench.h"

#include <QApplication>

#include <cstdlib>
#include <functional>
#include <memory>

#include "graphics/BSplines.h"
#include "platform/FakeMediaPlayer.h"
#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "tools/DemoSaver.h"

namespace {

uint32_t GNow = 1000;

void BM_CurvePoint(benchmark::State& State) {
  const int Count = int(State.range(0));
  TBSpline Path;
  Path.SetDegree(int32_t(State.range(1)));
  for (int I = 0; I < Count; ++I) Path.AddPoint(Point((I * 7919) % 1600, (I * 104729) % 1200));
  Path.EnsureKnots();
  int32_t T = 0;
  for (auto _ : State) {
    T = (T + 16) % 10000;
    benchmark::DoNotOptimize(Path.GetPoint(T, 10000));
  }
  State.SetItemsProcessed(State.iterations());
  State.SetLabel("points");
}
BENCHMARK(BM_CurvePoint)->Args({2, 3})->Args({3, 3})->Args({16, 4})->Args({256, 8})->Args({2000, 256});

// A 1600 x 1200 show of one sequence made by Make, looping.
struct TShow {
  TFakeMediaSystem Media;
  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;

  explicit TShow(const std::function<std::unique_ptr<TScreenSaverSequence>(const demosaver::TDemoMedia&)>& Make) {
    demosaver::TDemoOptions O;
    O.Resolution = sr1600x1200;
    O.Pictures = 1;
    O.PictureWidth = 400;
    O.PictureHeight = 300;
    O.Sound = false;
    O.Movie = false;
    O.NoFonts = true;
    O.WithDemoSequences = false;
    O.ExtraSequences.push_back([Make](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
      std::unique_ptr<TScreenSaverSequence> S = Make(M);
      S->Duration = 10000;
      P.Sequences()->Add(std::move(S));
    });
    Project = demosaver::MakeDemoProject(O);
    Control = std::make_unique<TAnimationControl>();
    Control->SetProject(Project.get());
    Control->Start();
  }

  void Run(benchmark::State& State) {
    for (auto _ : State) {
      GNow += 16;
      Control->Step();
      benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations());
    State.SetLabel("frames");
  }
};

// A 400 x 300 logo across the screen; argument: its transparency.
void BM_LogoFrame(benchmark::State& State) {
  TShow Show([&](const demosaver::TDemoMedia& M) {
    auto S = std::make_unique<TLogoSequence>();
    S->MediaID = M.Pictures[0];
    S->Transparency = int32_t(State.range(0));
    TBSpline Path;
    Path.AddPoint(Point(0, 1200));
    Path.AddPoint(Point(1000, 0));
    Path.AddPoint(Point(2000, 1500));
    S->SetFlightPath(&Path);
    return S;
  });
  Show.Run(State);
}
BENCHMARK(BM_LogoFrame)->Arg(0)->Arg(30)->Unit(benchmark::kMicrosecond);

// A one-line ticker in a 48-pixel font; argument: its transparency.
void BM_ScrollFrame(benchmark::State& State) {
  TShow Show([&](const demosaver::TDemoMedia&) {
    auto S = std::make_unique<TScrollTextSequence>();
    S->Text = "+++ Ein Lauftext quer über den ganzen Bildschirm, Zeichen für Zeichen +++";
    S->Font().Height = -48;
    S->Position = 1000;
    S->Transparency = int32_t(State.range(0));
    return S;
  });
  Show.Run(State);
}
BENCHMARK(BM_ScrollFrame)->Arg(0)->Arg(30)->Unit(benchmark::kMicrosecond);

// Two centred lines swelling to twice their 48-pixel size and back along a curve; argument:
// 1 fades them in (the blended road), 0 draws them opaque.
void BM_FlyingTextFrame(benchmark::State& State) {
  TShow Show([&](const demosaver::TDemoMedia&) {
    auto S = std::make_unique<TFlyingTextSequence>();
    S->Text = "Fliegender\r\nText";
    S->Font().Height = -48;
    S->Alignment = haCenter;
    S->ScaleFXPercent = 200;
    S->ScaleFXMode = ftsmPingPong;
    S->FadeIn = State.range(0) != 0;
    TBSpline Path;
    Path.AddPoint(Point(0, 0));
    Path.AddPoint(Point(2400, 300));
    Path.AddPoint(Point(300, 1500));
    Path.AddPoint(Point(2200, 1800));
    S->SetFlightPath(&Path);
    return S;
  });
  Show.Run(State);
}
BENCHMARK(BM_FlyingTextFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunPlayerBenchmarks(argc, argv, GNow); }
