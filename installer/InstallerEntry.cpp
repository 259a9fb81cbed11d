#include "installer/InstallerEntry.h"

#include <QApplication>

#include "installer/formInstallSaver.h"
#include "installer/formInstallationFinished.h"
#include "installer/formInstaller.h"
#include "installer/formLicense.h"
#include "installer/formWelcome.h"
#include "model/ScreenSaverModel.h"

int InstallerEntry() {
  RegisterScreenSaverModelClasses();
  QApplication::setQuitOnLastWindowClosed(false);
  auto Installer = CreateForm<TfrmInstaller>();
  auto Welcome = CreateForm<TfrmWelcome>();
  auto License = CreateForm<TfrmLicense>();
  auto InstallSaver = CreateForm<TfrmInstallSaver>();
  auto Finished = CreateForm<TfrmInstallationFinished>();
  frmWelcome = Welcome.get();
  frmLicense = License.get();
  frmInstallSaver = InstallSaver.get();
  frmInstallationFinished = Finished.get();
  QObject::connect(Installer.get(), &QDialog::finished, qApp, &QCoreApplication::quit);
  Installer->show();
  QApplication::exec();
  const int Code = Installer->ReadFailed() ? 1 : 0;
  frmWelcome = nullptr;
  frmLicense = nullptr;
  frmInstallSaver = nullptr;
  frmInstallationFinished = nullptr;
  return Code;
}
