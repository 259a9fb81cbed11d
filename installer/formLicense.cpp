#include "installer/formLicense.h"

TfrmLicense* frmLicense = nullptr;

TfrmLicense::TfrmLicense(QWidget* Parent) : TfrmBaseInstallStep(Parent) {
  setObjectName("frmLicense");
  cmdNext->setEnabled(false);
  chkAgree = AddTickPanel("Ich stimme zu");
  chkAgree->setObjectName("chkAgree");
  // The framework fires the click also when the program changes the state.
  connect(chkAgree, &QCheckBox::toggled, this, [this] { chkAgreeClick(); });
}

void TfrmLicense::FormShow() {
  TfrmBaseInstallStep::FormShow();
  chkAgree->setChecked(false);
}

void TfrmLicense::chkAgreeClick() { UpdateNextButton(); }

void TfrmLicense::UpdateNextButton() { cmdNext->setEnabled(chkAgree->isChecked()); }
