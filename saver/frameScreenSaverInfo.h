#pragma once
// What a screen saver says about itself: name, date, resolution, the creator's licence and the
// product that built it.

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/SysUtils.h"
#include "saver/frameObjectProperties.h"

class TfraScreenSaverInfo : public TfraObjectProperties {
public:
  explicit TfraScreenSaverInfo(QWidget* Owner = nullptr);

  void DisplayProperty(TReflectivePersistent& Obj, int Index) override;
  void StoreProperty(TReflectivePersistent& Obj, int Index) override;

  QLineEdit* txtRizuderName;
  QLineEdit* txtCreationDate;
  QComboBox* cboResolution;
  QPlainTextEdit* txtCreatorLicense;
  QLineEdit* txtProductName;
  QLineEdit* txtProductVersion;
};

// "dd mm yyyy"; empty for a value that is no date of the years 1 to 9999.
std::string FormatCreationDate(TDateTime Date);
