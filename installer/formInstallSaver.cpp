#include "installer/formInstallSaver.h"

TfrmInstallSaver* frmInstallSaver = nullptr;

TfrmInstallSaver::TfrmInstallSaver(QWidget* Parent) : TfrmBaseInstallStep(Parent) {
  setObjectName("frmInstallSaver");
  chkMakeActiveScreenSaver = AddTickPanel("Zu aktuellem Bildschirmschoner machen");
  chkMakeActiveScreenSaver->setObjectName("chkMakeActiveScreenSaver");
  chkMakeActiveScreenSaver->setChecked(true);
}
