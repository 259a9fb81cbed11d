// Raster filters on 1600 x 1200 rasters, one frame per iteration: the translation map (and the
// one-off cost of building it), the smoothing on each processor path in its vector and scalar
// form, the refraction and the water (refraction plus one step), beside memcpy of a frame (the
// memory bound). Bytes processed count one frame (7.68 MB) per iteration.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/GfxFilters.h"
#include "persistence/CPUUtility.h"
#include "tests/support/ProgramFPU.h"

namespace {

constexpr int W = 1600, H = 1200;
constexpr int64_t FrameBytes = int64_t(W) * H * 4;

void Randomize(TDIBRaster& R, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = Rng() & 0x00FFFFFF;
}

// The particle waves' kind of map: a few gentle sine terms along both axes.
TSinParams WaveParams() {
  TSinParams P{};
  P[0] = 12.0f, P[1] = 5.0f, P[4] = 3.0f, P[5] = 7.0f;
  P[8] = 9.0f, P[9] = 4.0f, P[12] = 2.0f, P[13] = 5.0f;
  return P;
}

const testsupport::ProgramFPU GProgramFPU;

void BM_Memcpy(benchmark::State& State) {
  std::vector<TPixel> A(size_t(W) * H, 1), B(size_t(W) * H);
  for (auto _ : State) {
    std::memcpy(B.data(), A.data(), A.size() * sizeof(TPixel));
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

void BM_TranslationMapApply(benchmark::State& State) {
  TDIBRaster S(W, H), D(W, H);
  Randomize(S, 1);
  TTranslationMap M(W, H);
  if (State.range(0) == 1) M.MakeWaved(WaveParams());
  if (State.range(0) == 2) M.MakeWavedZoom(WaveParams(), W / 2, H / 2, true);
  State.SetLabel(State.range(0) == 0 ? "identity" : State.range(0) == 1 ? "waved" : "waved zoom");
  for (auto _ : State) {
    M.Execute(&S, &D);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_TranslationMapApply)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_TranslationMapBuild(benchmark::State& State) {
  TTranslationMap M(W, H);
  const TSinParams P = WaveParams();
  State.SetLabel(State.range(0) == 0 ? "MakeWaved" : State.range(0) == 1 ? "MakeWavedZoom" : "MakeWavedZoomCombined");
  for (auto _ : State) {
    if (State.range(0) == 0) M.MakeWaved(P);
    if (State.range(0) == 1) M.MakeWavedZoom(P, W / 2, H / 2, false);
    if (State.range(0) == 2) M.MakeWavedZoomCombined(P, P, W / 2, H / 2);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TranslationMapBuild)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Range(0): the path (0 plain, 1 MMX, 2 3DNow!); Range(1): 0 scalar model, 1 SSE2, 2 AVX2.
void BM_Smooth(benchmark::State& State) {
  TDIBRaster S(W, H), D(W, H);
  Randomize(S, 2);
  const auto Path = gfx::TSmoothPath(State.range(0));
  const bool Vector = State.range(1) != 0;
  const auto Level = State.range(1) == 2 ? gfx::TVectorLevel::AVX2 : gfx::TVectorLevel::SSE2;
  if (Vector && (!gfx::FastPathsAvailable() || gfx::BestVectorLevel() < Level)) {
    State.SkipWithError("this processor lacks the vector unit");
    return;
  }
  gfx::SetVectorLevel(Level);
  static const char* const Names[] = {"plain", "mmx", "3dnow"};
  static const char* const Units[] = {" scalar", " sse2", " avx2"};
  State.SetLabel(std::string(Names[State.range(0)]) + Units[State.range(1)]);
  for (auto _ : State) {
    if (Vector)
      gfx::SmoothFast(Path, S.Bits, D.Bits, W, H);
    else
      gfx::SmoothScalar(Path, S.Bits, D.Bits, W, H);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
  gfx::SetVectorLevel(gfx::BestVectorLevel());
}
BENCHMARK(BM_Smooth)->ArgsProduct({{0, 1, 2}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

// The filter as the particle waves run it, the path from this processor's flags.
void BM_FastSmoothExecute(benchmark::State& State) {
  TDIBRaster S(W, H), D(W, H);
  Randomize(S, 3);
  TFastSmooth F;
  for (auto _ : State) {
    F.Execute(&S, &D);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_FastSmoothExecute)->Unit(benchmark::kMicrosecond);

void BM_RefractionApply(benchmark::State& State) {
  TDIBRaster S(W, H), D(W, H);
  Randomize(S, 4);
  TRefractionMap M(W, H);
  M.SetRefraction(2.0f);
  M.AddSinWave(1200.0f, 0.0f, 2.0f);
  M.AddSinWave(700.0f, 90.0f, 13.0f);
  for (auto _ : State) {
    M.Execute(&S, &D);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_RefractionApply)->Unit(benchmark::kMicrosecond);

void BM_WaterStep(benchmark::State& State) {
  TWaterize Water(W, H);
  Water.DisturbMap()->AddSinWave(1200.0f, 0.0f, 2.0f);
  for (auto _ : State) {
    Water.WaterStep();
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t(W) * H * 2);
}
BENCHMARK(BM_WaterStep)->Unit(benchmark::kMicrosecond);

// A whole frame of the water: refraction through one field, then the step. A drop every frame
// keeps the surface moving.
void BM_WaterizeExecute(benchmark::State& State) {
  TDIBRaster S(W, H), D(W, H);
  Randomize(S, 5);
  TWaterize Water(W, H);
  Water.DisturbMap()->AddSinWave(1200.0f, 0.0f, 2.0f);
  int Frame = 0;
  for (auto _ : State) {
    Water.DisturbMap()->FillHeights(100 + Frame % 1400, 100 + Frame % 1000, 3, 3, 1600);
    Water.Execute(&S, &D);
    ++Frame;
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_WaterizeExecute)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
