#include "model/ScreenSaverFiles.h"

#include <exception>

#include "persistence/ApplicationData.h"
#include "platform/Platform.h"

const char* const SScreenSaverDataDamaged =
    "Die Bildschirmschonerdaten konnten nicht gelesen werden.\r\n\r\n"
    "Wahrscheinlich wurde die Datei besch\xC3\xA4" "digt. ";

void LoadScreenSaverInfo(std::unique_ptr<TScreenSaverInfo>& Info) {
  Info.reset();
  Info = std::make_unique<TScreenSaverInfo>();
  TApplicationDataStream Stream(plat::ProgramFileName(), adaRead);
  try {
    Info->LoadFromStream(Stream);
  } catch (...) {
    // Whatever went wrong inside the data (bag errors, short reads, allocation) means the
    // same to the user: the file is damaged.
    Info.reset();
    plat::ShowMessage(SScreenSaverDataDamaged);
  }
}

void LoadScreenSaverInfoAndProject(std::unique_ptr<TScreenSaverInfo>& Info,
                                   std::unique_ptr<TScreenSaverProject>& Project) {
  Info.reset();
  Project.reset();
  Info = std::make_unique<TScreenSaverInfo>();
  Project = std::make_unique<TScreenSaverProject>();
  TApplicationDataStream Stream(plat::ProgramFileName(), adaRead);
  try {
    Info->LoadFromStream(Stream);
    Project->LoadFromStream(Stream);
  } catch (...) {
    // Freeing the project deletes the media files and removes the fonts read so far.
    Project.reset();
    Info.reset();
    plat::ShowMessage(SScreenSaverDataDamaged);
  }
}
