#include "installer/InstallerEntry.h"
#include "platform/Forms.h"

int main(int argc, char** argv) {
  TApplication App(argc, argv);
  return InstallerEntry();
}
