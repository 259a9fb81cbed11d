// Reads a screen saver's appended data (an info record, then a project record) from arbitrary
// bytes with every persistent class of the program registered, and when that succeeds plays a
// few frames of the project in an animation control, so that hostile values stored inside real
// sequences, curves and wave configurations reach the code that uses them.
//
//   fuzz_saver_file -malloc_limit_mb=512 -max_len=200000 <new corpus dir> <seed dir>
// Seeds: make_saver_seed <dir> writes small demo projects of every sequence kind.

#include <QApplication>
#include <QFontDatabase>
#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "graphics/BSplines.h"
#include "graphics/GraphicObjects.h"
#include "graphics/ParticleSystemsCfg.h"
#include "model/ScreenSaverModel.h"
#include "platform/Classes.h"
#include "platform/FakeMediaPlayer.h"
#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "player/ScreenSaverSequences.h"

namespace {
uint32_t GClock = 100000;
std::string GDir;

void RemoveDir() {
  std::error_code Ec;
  std::filesystem::remove_all(GDir, Ec);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Media and fonts of the inputs are unpacked into a folder of this run, removed when the run
  // exits.
  const char* Base = std::getenv("TMPDIR");
  std::string Dir = std::string(Base && *Base ? Base : "/tmp") + "/fuzz-saver-XXXXXX";
  if (mkdtemp(Dir.data())) {
    GDir = Dir;
    std::atexit(RemoveDir);
    setenv("TMPDIR", Dir.c_str(), 1);
  }
  static QApplication* App = new QApplication(*argc, *argv);
  (void)App;
  {
    // Fontconfig drops a few bytes of its configuration once, when Qt first builds its font
    // database; built here, that allocation is not counted against the first input.
    __lsan::ScopedDisabler FontconfigLoadsItsConfiguration;
    QFontDatabase::families();
  }
  RegisterModelClasses();
  RegisterGraphicObjectsClasses();
  RegisterParticleSystemsCfgClasses();
  RegisterBSplinesClasses();
  RegisterScreenSaverSequencesClasses();
  plat::SetMessageBoxSink([](const plat::MessageBoxRequest&) { return plat::IDOK; });
  plat::SetTickHook([] { return GClock; });
  static TFakeMediaSystem* Media = new TFakeMediaSystem;
  (void)Media;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > (1u << 22)) return 0;
  TMemoryStream S;
  if (Size) S.WriteBuffer(Data, static_cast<int32_t>(Size));
  S.SetPosition(0);
  auto Info = std::make_unique<TScreenSaverInfo>();
  auto Project = std::make_unique<TScreenSaverProject>();
  try {
    Info->LoadFromStream(S);
    Project->LoadFromStream(S);
  } catch (const std::exception&) {
    return 0;
  }
  // Playing needs a raster of the project's size; an unknown resolution has none.
  if (Project->RizuderInfo()->ResolutionWidth() == 0) return 0;
  try {
    TAnimationControl Control;
    Control.resize(64, 48);
    Control.SetProject(Project.get());
    Control.Start();
    for (int I = 0; I < 6; ++I) {
      GClock += 700;
      Control.Step();
    }
    Control.Stop();
  } catch (const std::exception&) {
    // A sequence may refuse what it was given (a range or overflow error): the show ends there.
  }
  return 0;
}
