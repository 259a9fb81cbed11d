#pragma once
#include "installer/formBaseInstallStep.h"

class TfrmInstallSaver : public TfrmBaseInstallStep {
public:
  explicit TfrmInstallSaver(QWidget* Parent = nullptr);
  QCheckBox* chkMakeActiveScreenSaver;
};

extern TfrmInstallSaver* frmInstallSaver;
