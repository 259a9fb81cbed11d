// Writes seeds for fuzz_saver_file: the appended data of small demo projects (one tiny picture,
// a short tone, no font), one with every sequence kind and one per kind.
#include <QGuiApplication>

#include <cstdio>
#include <string>

#include "graphics/BSplines.h"
#include "graphics/GraphicObjects.h"
#include "graphics/ParticleSystemsCfg.h"
#include "model/ScreenSaverModel.h"
#include "persistence/PropertyBags.h"
#include "platform/Classes.h"
#include "player/ScreenSaverSequences.h"
#include "tools/DemoSaver.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_saver_seed DIR\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication App(argc, argv);
  RegisterModelClasses();
  RegisterGraphicObjectsClasses();
  RegisterParticleSystemsCfgClasses();
  RegisterBSplinesClasses();
  RegisterScreenSaverSequencesClasses();
  const std::vector<demosaver::TSequenceMaker>& All = demosaver::DemoSequences();
  for (size_t K = 0; K <= All.size(); ++K) {
    demosaver::TDemoOptions O;
    O.Resolution = sr640x480;
    O.Pictures = 3;
    O.PictureWidth = 16;
    O.PictureHeight = 12;
    O.SoundMs = 20;
    O.Movie = false;
    O.NoFonts = true;
    if (K < All.size()) {
      O.WithDemoSequences = false;
      O.ExtraSequences = {All[K]};
    }
    auto Project = demosaver::MakeDemoProject(O);
    TFileStream F(std::string(argv[1]) + "/seed" + std::to_string(K), fmCreate);
    TStreamPropertyBag Bag(F);
    Bag.WriteObject(Project->RizuderInfo());
    Bag.WriteObject(Project.get());
  }
  return 0;
}
