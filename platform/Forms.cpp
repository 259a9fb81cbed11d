#include "platform/Forms.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QTranslator>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/DisplayModes.h"
#include "platform/PaintTarget.h"
#include "platform/Platform.h"
#include "platform/SysUtils.h"

namespace {
QtMessageHandler GOuterMessageHandler = nullptr;

// Qt ends a program whose display cannot be opened with a fatal message and an abort; the
// program says why in one line and ends with an error code instead.
void NoDisplayHandler(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
  if (Type != QtFatalMsg) {
    GOuterMessageHandler(Type, Context, Text);
    return;
  }
  std::fprintf(stderr, "%s: no display could be opened; the program ends.\n",
               ExtractFileName(plat::ProgramFileName()).c_str());
  std::fflush(nullptr);
  // Nothing of the half-built application may run on the way out.
  std::_Exit(1);
}

int& WatchForNoDisplay(int& Argc) {
  GOuterMessageHandler = qInstallMessageHandler(NoDisplayHandler);
  return Argc;
}
}  // namespace

TApplication::TApplication(int& Argc, char** Argv) : QApplication(WatchForNoDisplay(Argc), Argv) {
  qInstallMessageHandler(GOuterMessageHandler);
  LoadFrameworkTranslations(QLocale::system());
}

void LoadFrameworkTranslations(const QLocale& Locale) {
  static QPointer<QTranslator> Current;
  if (Current) {
    QCoreApplication::removeTranslator(Current);
    delete Current;
  }
  auto* T = new QTranslator(QCoreApplication::instance());
  if (T->load(Locale, QStringLiteral("qtbase"), QStringLiteral("_"),
              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(T);
    Current = T;
  } else {
    delete T;
  }
}

void TApplication::HandleException(const std::exception& E) {
  plat::MessageBox(E.what(), plat::ApplicationTitle(), plat::MB_OK | plat::MB_ICONERROR);
}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& E) {
    HandleException(E);
  }
  return false;
}

int UnitsCovering(int Pixels, double Ratio) {
  if (!(Ratio > 0) || Ratio == 1.0) return Pixels;
  // A quotient that should be whole may come out a trifle above it.
  return static_cast<int>(std::ceil(Pixels / Ratio - 1e-6));
}

QRect ScreenRect() {
  const QScreen* S = QGuiApplication::primaryScreen();
  const QPoint Origin = S ? S->geometry().topLeft() : QPoint();
  // The display settings know a new mode at once; the screen object learns it only from a later
  // notification. They count pixels, the GUI counts its units.
  plat::TDevMode M;
  if (plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, M) && M.dmPelsWidth > 0 &&
      M.dmPelsHeight > 0) {
    const double Ratio = S ? S->devicePixelRatio() : 1.0;
    return QRect(Origin, QSize(UnitsCovering(static_cast<int>(M.dmPelsWidth), Ratio),
                               UnitsCovering(static_cast<int>(M.dmPelsHeight), Ratio)));
  }
  if (S) return S->geometry();
  return QRect(0, 0, 640, 480);
}

void CentreOnScreen(QWidget* W) {
  QRect R = W->frameGeometry();
  R.moveCenter(ScreenRect().center());
  W->move(R.topLeft());
}

TForm::TForm(QWidget* Parent) : QDialog(Parent) {
  // Forms ask for the original's face names ("MS Sans Serif", "Arial").
  InstallFontSubstitutes();
  // A form is a window of its own; dialogs get their frame and modality from ShowModal.
  setWindowFlags(Qt::Window);
}

void TForm::DoCreate() {
  try {
    FormCreate();
  } catch (const std::exception& E) {
    TApplication::HandleException(E);
  }
}

void TForm::DoDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  try {
    FormDestroy();
  } catch (const std::exception& E) {
    TApplication::HandleException(E);
  }
}

int TForm::ShowModal() {
  FModalResult = mrNone;
  setModal(true);
  exec();
  return FModalResult;
}

void TForm::SetModalResult(int Result) {
  FModalResult = Result;
  if (Result != mrNone && isModal() && isVisible()) close();
}

void TForm::SetBounds(int Left, int Top, int Width, int Height) {
  setGeometry(Left, Top, Width, Height);
}

void TForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) FormShow();
  QDialog::showEvent(Event);
}

void TForm::closeEvent(QCloseEvent* Event) {
  FormClose();
  QDialog::closeEvent(Event);
  if (Event->isAccepted() && isModal()) done(FModalResult);
}

void TForm::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() == Qt::Key_Escape && !FEscapeCancels) {
    Event->ignore();
    return;
  }
  QDialog::keyPressEvent(Event);
}
