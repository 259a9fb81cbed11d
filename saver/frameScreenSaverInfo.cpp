#include "saver/frameScreenSaverInfo.h"

#include <cstdio>

#include "model/ScreenSaverModel.h"
#include "persistence/ReflectionObjects.h"
#include "platform/Memo.h"

std::string FormatCreationDate(TDateTime Date) {
  int Y, M, D;
  if (!TryDecodeDate(Date, Y, M, D)) return {};
  char Buf[16];
  std::snprintf(Buf, sizeof Buf, "%02d %02d %04d", D, M, Y);
  return Buf;
}

TfraScreenSaverInfo::TfraScreenSaverInfo(QWidget* Owner) : TfraObjectProperties(Owner) {
  setObjectName(QStringLiteral("fraScreenSaverInfo"));
  resize(553, 337);

  txtRizuderName = LabeledEdit(this, QStringLiteral("txtRizuderName"), QStringLiteral("Bildschirmschoner-Name"), 8, 24, 329);
  txtCreationDate = LabeledEdit(this, QStringLiteral("txtCreationDate"), QStringLiteral("Datum"), 345, 24, 200);
  MakeGreyReadOnly(txtCreationDate);

  // The user-properties frame lies over this frame at (120, 64), right of the list.
  cboResolution = new QComboBox(this);
  cboResolution->setObjectName(QStringLiteral("cboResolution"));
  cboResolution->setEditable(false);
  cboResolution->setGeometry(8, 64, 105, 21);
  CaptionAbove(this, cboResolution, QString::fromUtf8("Bildschirm-Auflösung"));

  txtCreatorLicense = new TMemo(this);
  txtCreatorLicense->setObjectName(QStringLiteral("txtCreatorLicense"));
  txtCreatorLicense->setGeometry(8, 112, 537, 169);
  txtCreatorLicense->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  CaptionAbove(this, txtCreatorLicense, QStringLiteral("Lizenzvereinbahrung des Schonerherstellers"));

  txtProductName = LabeledEdit(this, QStringLiteral("txtProductName"), QStringLiteral("Name des Schoner-Generators"), 8, 304, 329);
  MakeGreyReadOnly(txtProductName);
  txtProductVersion = LabeledEdit(this, QStringLiteral("txtProductVersion"), QStringLiteral("Version"), 345, 304, 200);
  MakeGreyReadOnly(txtProductVersion);

  FillListItems(cboResolution, ResolutionNames, -1);
}

void TfraScreenSaverInfo::DisplayProperty(TReflectivePersistent& Obj, int Index) {
  const TPropertyInfo& P = Obj.PropertyInfo(Index);
  if (P.Name == "SerialNo" || P.Name == "CreatorInfo") return;
  if (P.Name == "CreationDate") {
    txtCreationDate->setText(QString::fromStdString(FormatCreationDate(Obj.GetPropertyValue(Index).AsDouble())));
  } else if (P.Name == "CreatorLicense") {
    txtCreatorLicense->setPlainText(QString::fromStdString(Obj.GetPropertyValue(Index).AsString()));
  } else if (P.Name == "Resolution") {
    // An ordinal outside the list selects nothing.
    cboResolution->setCurrentIndex(
        reflection_detail::FindIdentifier(P.Identifiers, Obj.GetPropertyValue(Index).AsString()));
  } else {
    TfraObjectProperties::DisplayProperty(Obj, Index);
  }
}

void TfraScreenSaverInfo::StoreProperty(TReflectivePersistent& Obj, int Index) {
  const TPropertyInfo& P = Obj.PropertyInfo(Index);
  if (P.Name == "ProductName" || P.Name == "ProductVersion" || P.Name == "SerialNo" ||
      P.Name == "CreatorInfo" || P.Name == "CreationDate")
    return;
  if (P.Name == "CreatorLicense") {
    Obj.SetPropertyValue(Index, Variant(txtCreatorLicense->toPlainText().toStdString()));
  } else if (P.Name == "Resolution") {
    // With nothing selected there is no resolution to store: the object keeps its own.
    const int I = cboResolution->currentIndex();
    if (I >= 0 && I < static_cast<int>(P.Identifiers.size()))
      Obj.SetPropertyValue(Index, Variant(P.Identifiers[I]));
  } else {
    TfraObjectProperties::StoreProperty(Obj, Index);
  }
}
