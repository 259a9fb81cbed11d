#pragma once
#include "installer/formBaseInstallStep.h"

// Serves both licence steps: Next is available only once the box is ticked during a showing.
class TfrmLicense : public TfrmBaseInstallStep {
public:
  explicit TfrmLicense(QWidget* Parent = nullptr);
  void FormShow() override;
  void chkAgreeClick();
  void UpdateNextButton();

  QCheckBox* chkAgree;
};

extern TfrmLicense* frmLicense;
