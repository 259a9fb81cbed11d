#include "installer/formInstallationFinished.h"

TfrmInstallationFinished* frmInstallationFinished = nullptr;

TfrmInstallationFinished::TfrmInstallationFinished(QWidget* Parent) : TfrmBaseInstallStep(Parent) {
  setObjectName("frmInstallationFinished");
  cmdNext->setText("Ok");
  cmdPrev->hide();
  cmdCancel->hide();
  Label1 = new QLabel(QString::fromUtf8("Beendet"), this);
  Label1->setObjectName("Label1");
  Label1->move(16, 16);
  Label1->adjustSize();
  // A plain label lies beneath the windowed controls, here under the title panel.
  Label1->lower();
}
