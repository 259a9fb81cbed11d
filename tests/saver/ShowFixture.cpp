#include "tests/saver/ShowFixture.h"

#include "graphics/GfxTool.h"
#include "graphics/GraphicObjects.h"
#include "platform/Platform.h"
#include "tests/support/TestEnv.h"

namespace showtest {

void RegisterAll() {
  static const bool Done = [] {
    RegisterModelClasses();
    RegisterGraphicObjectsClasses();
    RegisterScreenSaverSequencesClasses();
    return true;
  }();
  (void)Done;
}

void MakeSaver(const TSaverRecipe& Recipe) {
  RegisterAll();
  const std::string Host = testsupport::TestDir() + "/host";
  testsupport::WriteFileBytes(Host, std::string(4096, '\x90'));
  demosaver::TDemoOptions O;
  O.RizuderName = Recipe.Name;
  O.Resolution = Recipe.Resolution;
  O.Pictures = Recipe.Pictures;
  O.Sound = false;
  O.NoFonts = true;
  O.WithDemoSequences = false;
  O.ExtraSequences = Recipe.Sequences;
  if (O.ExtraSequences.empty()) O.ExtraSequences.push_back(EmptyPage(0x336699, 60000));
  O.WorkDir = testsupport::TestDir();
  const std::string Out = testsupport::TestDir() + "/saver.scr";
  demosaver::MakeScreenSaverFile(Host, Out, O);
  plat::SetProgramFileName(Out);
}

void MakeEmptyProgram() {
  const std::string Out = testsupport::TestDir() + "/bare.scr";
  testsupport::WriteFileBytes(Out, std::string(4096, '\x90'));
  plat::SetProgramFileName(Out);
}

void SetUserProperties(const std::string& Name, bool UseStandardResolution, bool InterpolateToFullscreen) {
  TScreenSaverInfo Info;
  Info.RizuderName = Name;
  Info.UserProperties()->UseStandardResolution = UseStandardResolution;
  Info.UserProperties()->InterpolateToFullscreen = InterpolateToFullscreen;
  Info.SaveUserProperties();
}

demosaver::TSequenceMaker DamagedSlide(int32_t Ms) {
  return [Ms](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    testsupport::WriteFileBytes(P.MediaManager()->MediaById(M.Pictures.at(0))->FileName, "no JPEG in here");
    auto S = std::make_unique<TSlideSequence>();
    S->MediaID = M.Pictures.at(0);
    S->Duration = Ms;
    P.Sequences()->Add(std::move(S));
  };
}

demosaver::TSequenceMaker EmptyPage(TColor Color, int32_t Ms, const std::string& LinkAddress,
                                    const std::string& LinkTitle) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
    auto S = TSequence::CreateNamed<TEmptyPageSequence>(SEmptyPageName, nullptr);
    S->Color = Color;
    S->Duration = Ms;
    S->WebLinkAddress = LinkAddress;
    S->WebLinkTitle = LinkTitle;
    P.Sequences()->Add(std::move(S));
  };
}

namespace {
plat::TDevMode Mode(int W, int H) {
  plat::TDevMode M;
  M.dmFields = plat::DM_BITSPERPEL | plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT | plat::DM_DISPLAYFREQUENCY;
  M.dmBitsPerPel = 32;
  M.dmPelsWidth = static_cast<uint32_t>(W);
  M.dmPelsHeight = static_cast<uint32_t>(H);
  M.dmDisplayFrequency = 60;
  return M;
}
}  // namespace

std::shared_ptr<plat::TFakeDisplaySettings> UseFakeDisplay(int Width, int Height,
                                                          std::vector<std::pair<int, int>> Modes) {
  auto D = std::make_shared<plat::TFakeDisplaySettings>();
  D->Current = D->Default = Mode(Width, Height);
  D->Modes.push_back(D->Current);
  for (auto [W, H] : Modes) D->Modes.push_back(Mode(W, H));
  plat::SetDisplaySettingsSource(D);
  FreeScreenModes();
  return D;
}

void ResetDisplay() {
  FreeScreenModes();
  plat::SetDisplaySettingsSource(nullptr);
}

}  // namespace showtest
