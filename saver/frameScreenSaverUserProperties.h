#pragma once
// The two options each user sets for a screen saver, as check boxes.

#include <QCheckBox>

#include "saver/frameObjectProperties.h"

class TfraScreenSaverUserProperties : public TfraObjectProperties {
public:
  explicit TfraScreenSaverUserProperties(QWidget* Owner = nullptr);

  // The object must be a TScreenSaverUserProperties (EInvalidCast otherwise).
  void DisplayProperty(TReflectivePersistent& Obj, int Index) override;
  void StoreProperty(TReflectivePersistent& Obj, int Index) override;

  QCheckBox* chkUseStandardResolution;
  QCheckBox* chkInterpolateToFullscreen;
};
