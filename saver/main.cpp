#include <QApplication>

#include "platform/Platform.h"
#include "saver/ProgramEntry.h"
#include "saver/ScreenSaverUtils.h"

int main(int argc, char** argv) {
  plat::SetCommandLine(argc, argv);
  ParseScreenSaverCommandLine();
  QApplication App(argc, argv);
  TSaverForms Forms;
  return ProgramEntry(Forms);
}
