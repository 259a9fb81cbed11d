#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "graphics/BSplines.h"
#include "graphics/GraphicObjects.h"
#include "graphics/ParticleSystemsCfg.h"
#include "model/ScreenSaverModel.h"
#include "platform/Forms.h"
#include "platform/MediaPlayer.h"
#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"
#include "saver/ProgramEntry.h"
#include "saver/ScreenSaverUtils.h"
#include "saver/formConfiguration.h"
#include "saver/formPreview.h"
#include "saver/formSaveScreen.h"

namespace {
int GSignalPipe[2] = {-1, -1};

void OnSignal(int Signal) {
  const char C = static_cast<char>(Signal);
  [[maybe_unused]] const ssize_t N = ::write(GSignalPipe[1], &C, 1);
}

// A request to end the program (SIGTERM, SIGINT, SIGHUP) ends the show the orderly way, so the
// display mode comes back and the temporary media and fonts are removed.
void EndOnSignals() {
  if (::pipe2(GSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* Notifier = new QSocketNotifier(GSignalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(Notifier, &QSocketNotifier::activated, qApp, [] {
    char C;
    while (::read(GSignalPipe[0], &C, 1) == 1) {
    }
    if (QWidget* Modal = QApplication::activeModalWidget()) Modal->close();
    for (QWidget* W : QApplication::topLevelWidgets()) {
      if (auto* F = dynamic_cast<TfrmBaseSaveScreen*>(W)) F->Terminate();
      // The dialog closes as by its Ok button, storing the user's options.
      if (auto* C = dynamic_cast<TfrmConfiguration*>(W)) C->close();
    }
  });
  struct sigaction Sa {};
  Sa.sa_handler = OnSignal;
  sigemptyset(&Sa.sa_mask);
  Sa.sa_flags = SA_RESTART;
  for (int S : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(S, &Sa, nullptr);
}

// The version block the program file carries (the about page shows its FileVersion).
void RegisterOwnVersionBlock() {
  plat::SetOwnVersionBlock(plat::BuildVersionBlock(
      {{0x0407, 0x04E4}},
      {{"CompanyName", "Zerozezu"},
       {"FileDescription", "Vovizirid Bildschirmschoner"},
       {"FileVersion", RIZUDER_FILE_VERSION},
       {"InternalName", "Rizuder"},
       {"LegalCopyright", "Copyright (C) Zerozezu"},
       {"OriginalFilename", "Rizuder.scr"},
       {"ProductName", "Rizuder"},
       {"ProductVersion", RIZUDER_PRODUCT_VERSION}}));
}

template <class F>
std::unique_ptr<QWidget> MakeForm() {
  return std::unique_ptr<QWidget>(CreateForm<F>().release());
}
}  // namespace

int main(int argc, char** argv) {
  plat::SetCommandLine(argc, argv);
  RegisterOwnVersionBlock();
  ParseScreenSaverCommandLine();
  // Every persistent class is known before any object is read.
  RegisterModelClasses();
  RegisterGraphicObjectsClasses();
  RegisterParticleSystemsCfgClasses();
  RegisterBSplinesClasses();
  RegisterScreenSaverSequencesClasses();
  std::unique_ptr<TApplication> App;
  if (ModeNeedsApplication()) {
    App = std::make_unique<TApplication>(argc, argv);
    EndOnSignals();
  }
  TSaverForms Forms;
  Forms.SaveScreen = &MakeForm<TfrmSaveScreen>;
  Forms.Preview = &MakeForm<TfrmPreview>;
  Forms.Configuration = &MakeForm<TfrmConfiguration>;
  const int ExitCode = ProgramEntry(Forms);
  // Everything is put away by now: the display mode, the cursor, the media and fonts, the
  // registry store. A medium stuck in the media framework must not hold or crash the end.
  plat::EndMedia(ExitCode);
  return ExitCode;
}
