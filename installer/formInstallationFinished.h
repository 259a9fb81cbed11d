#pragma once
#include "installer/formBaseInstallStep.h"

class TfrmInstallationFinished : public TfrmBaseInstallStep {
public:
  explicit TfrmInstallationFinished(QWidget* Parent = nullptr);
  QLabel* Label1;
};

extern TfrmInstallationFinished* frmInstallationFinished;
