#pragma once
// The creator's name and address; every property goes to its "txt" edit.

#include <QLineEdit>

#include "saver/frameObjectProperties.h"

class TfraPersonalInfo : public TfraObjectProperties {
public:
  explicit TfraPersonalInfo(QWidget* Owner = nullptr);

  QLineEdit* txtLastName;
  QLineEdit* txtFirstName;
  QLineEdit* txtStreet;
  QLineEdit* txtZIP;
  QLineEdit* txtCity;
  QLineEdit* txtCountry;
  QLineEdit* txtPhone;
  QLineEdit* txtEMail;
};
