#include "bench/PlayerBench.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <cstdlib>

#include "graphics/BSplines.h"
#include "graphics/ParticleSystemsCfg.h"
#include "model/ScreenSaverModel.h"
#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"
#include "tests/support/ProgramFPU.h"

int RunPlayerBenchmarks(int argc, char** argv, const uint32_t& Clock) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication App(argc, argv);
  const testsupport::ProgramFPU Program;
  RegisterModelClasses();
  RegisterScreenSaverSequencesClasses();
  RegisterBSplinesClasses();
  RegisterParticleSystemsCfgClasses();
  plat::SetTickHook([&Clock] { return Clock; });
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
