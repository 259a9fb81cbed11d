#include <benchmark/benchmark.h>

#include "persistence/BasicUtility.h"

static void BM_ReflectIntoRange(benchmark::State& State) {
  int V = -1000;
  for (auto _ : State) {
    benchmark::DoNotOptimize(ReflectIntoRange(V, 0, 640));
    V = V < 2000 ? V + 7 : -1000;
  }
}
BENCHMARK(BM_ReflectIntoRange);

BENCHMARK_MAIN();
