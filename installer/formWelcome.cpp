#include "installer/formWelcome.h"

TfrmWelcome* frmWelcome = nullptr;

TfrmWelcome::TfrmWelcome(QWidget* Parent) : TfrmBaseInstallStep(Parent) {
  setObjectName("frmWelcome");
  cmdPrev->hide();
}
