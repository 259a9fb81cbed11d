#pragma once
#include "installer/formBaseInstallStep.h"

class TfrmWelcome : public TfrmBaseInstallStep {
public:
  explicit TfrmWelcome(QWidget* Parent = nullptr);
};

extern TfrmWelcome* frmWelcome;
