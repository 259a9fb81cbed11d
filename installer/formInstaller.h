#pragma once
// The installer's main form: a full-screen backdrop naming the carried screen saver, and the
// wizard that runs over it.

#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <memory>
#include <string>

#include "installer/Gradient.h"
#include "persistence/ApplicationData.h"
#include "platform/Forms.h"

class TScreenSaverInfo;

class TfrmInstaller : public TForm {
public:
  explicit TfrmInstaller(QWidget* Parent = nullptr);
  ~TfrmInstaller() override;

  void FormCreate() override;
  void FormShow() override;
  void FormDestroy() override;
  void tmrStartTimer();
  // Copies the carried screen saver into the screen-saver directory.
  void InstallSaverFile();

  // The info could not be read (the user has been told); the program ends.
  bool ReadFailed() const { return !FScreenSaverInfo; }
  // The wizard ended on an error; the backdrop closes on the next key or click.
  bool WizardFailed() const { return FWizardFailed; }
  TScreenSaverInfo* ScreenSaverInfo() const { return FScreenSaverInfo.get(); }

  QTimer* tmrStart;
  TGradient* JvGradient1;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* lblTitle;
  QLabel* lblCreatorInfo;
  QLabel* lblProductInfo;
  QLabel* Image2;
  QLabel* Label2;
  QLabel* Label3;

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;

private:
  std::unique_ptr<TApplicationDataStream> FStream;
  std::unique_ptr<TScreenSaverInfo> FScreenSaverInfo;
  bool FMakeActive = false;
  int64_t FCarriedStart = 0;  // data position of the carried screen-saver file
  bool FWizardFailed = false;
  void PlaceBottomControls();
};

// "dd.mmm.yyyy" with the short month name of the user's locale, e.g. "09.Dez.2025"; empty for
// a value that is no calendar date.
std::string FormatInstallDate(double DateTime, const QLocale& Locale = QLocale::system());
// The message of an unreadable screen-saver file.
extern const char* const SaverDataUnreadable;
