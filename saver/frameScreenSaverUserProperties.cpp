#include "saver/frameScreenSaverUserProperties.h"

#include "model/ScreenSaverModel.h"

namespace {
TScreenSaverUserProperties& UserProperties(TReflectivePersistent& Obj) {
  auto* P = dynamic_cast<TScreenSaverUserProperties*>(&Obj);
  if (!P) throw EInvalidCast("Invalid class typecast");
  return *P;
}
}  // namespace

TfraScreenSaverUserProperties::TfraScreenSaverUserProperties(QWidget* Owner) : TfraObjectProperties(Owner) {
  setObjectName(QStringLiteral("fraScreenSaverUserProperties"));
  resize(425, 25);
  chkUseStandardResolution = new QCheckBox(QString::fromUtf8("Immer Desktop-Auflösung verwenden"), this);
  chkUseStandardResolution->setObjectName(QStringLiteral("chkUseStandardResolution"));
  chkUseStandardResolution->setGeometry(0, 2, 205, 21);
  chkInterpolateToFullscreen = new QCheckBox(QStringLiteral("Darstellung auf Vollbild hochrechnen"), this);
  chkInterpolateToFullscreen->setObjectName(QStringLiteral("chkInterpolateToFullscreen"));
  chkInterpolateToFullscreen->setGeometry(213, 2, 212, 21);
}

void TfraScreenSaverUserProperties::DisplayProperty(TReflectivePersistent& Obj, int Index) {
  TScreenSaverUserProperties& P = UserProperties(Obj);
  const std::string& Name = Obj.PropertyInfo(Index).Name;
  if (Name == "UseStandardResolution") chkUseStandardResolution->setChecked(P.UseStandardResolution);
  else if (Name == "InterpolateToFullscreen") chkInterpolateToFullscreen->setChecked(P.InterpolateToFullscreen);
  else TfraObjectProperties::DisplayProperty(Obj, Index);
}

void TfraScreenSaverUserProperties::StoreProperty(TReflectivePersistent& Obj, int Index) {
  TScreenSaverUserProperties& P = UserProperties(Obj);
  const std::string& Name = Obj.PropertyInfo(Index).Name;
  if (Name == "UseStandardResolution") P.UseStandardResolution = chkUseStandardResolution->isChecked();
  else if (Name == "InterpolateToFullscreen") P.InterpolateToFullscreen = chkInterpolateToFullscreen->isChecked();
  else TfraObjectProperties::StoreProperty(Obj, Index);
}
