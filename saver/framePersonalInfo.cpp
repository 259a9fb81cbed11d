#include "saver/framePersonalInfo.h"

TfraPersonalInfo::TfraPersonalInfo(QWidget* Owner) : TfraObjectProperties(Owner) {
  setObjectName(QStringLiteral("fraPersonalInfo"));
  resize(553, 337);
  txtLastName = LabeledEdit(this, QStringLiteral("txtLastName"), QStringLiteral("Nachname"), 8, 24, 265);
  txtFirstName = LabeledEdit(this, QStringLiteral("txtFirstName"), QStringLiteral("Vorname"), 281, 24, 265);
  txtStreet = LabeledEdit(this, QStringLiteral("txtStreet"), QStringLiteral("Strasse"), 8, 72, 538);
  txtZIP = LabeledEdit(this, QStringLiteral("txtZIP"), QStringLiteral("PLZ"), 8, 120, 81);
  txtCity = LabeledEdit(this, QStringLiteral("txtCity"), QStringLiteral("Ort"), 97, 120, 449);
  txtCountry = LabeledEdit(this, QStringLiteral("txtCountry"), QStringLiteral("Land"), 8, 168, 265);
  txtPhone = LabeledEdit(this, QStringLiteral("txtPhone"), QStringLiteral("Telefon"), 8, 216, 265);
  txtEMail = LabeledEdit(this, QStringLiteral("txtEMail"), QStringLiteral("EMail"), 281, 216, 265);
}
