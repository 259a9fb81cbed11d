#include "model/ScreenSaverFiles.h"

#include <exception>

#include "persistence/ApplicationData.h"
#include "platform/Platform.h"

const char* const SScreenSaverDataDamaged =
    "Die Bildschirmschonerdaten konnten nicht gelesen werden.\r\n\r\n"
    "Wahrscheinlich wurde die Datei besch\xC3\xA4" "digt. ";

namespace {
// Reads one record. A file cut off right behind a block's header reads without any error (the
// nested record finds nothing left to read), but the enclosing blocks then end beyond the
// data: that is a truncated file, not an empty object.
void ReadRecord(TReflectivePersistent& Obj, TStream& Stream) {
  Obj.LoadFromStream(Stream);
  if (Stream.Position() > Stream.Size()) throw EReadError(SReadError);
}
}  // namespace

void LoadScreenSaverInfo(std::unique_ptr<TScreenSaverInfo>& Info) {
  Info.reset();
  Info = std::make_unique<TScreenSaverInfo>();
  TApplicationDataStream Stream(plat::ProgramFileName(), adaRead);
  try {
    ReadRecord(*Info, Stream);
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
    ReadRecord(*Info, Stream);
    ReadRecord(*Project, Stream);
  } catch (...) {
    // Freeing the project deletes the media files and removes the fonts read so far.
    Project.reset();
    Info.reset();
    plat::ShowMessage(SScreenSaverDataDamaged);
  }
}
